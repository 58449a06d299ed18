// Planted: a room no floor lists.
#pragma once
