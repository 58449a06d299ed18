// The host's HS_ services are the exports of the program that loaded the
// plug-in, whatever that program's file name is. They are looked up once, at
// initialisation, so that the module's import table names only system
// libraries and a host lacking a service is told so instead of crashing.
#pragma once

// Finds every service in the main program. True when all were found.
bool BindHostServices();

// The first service the main program lacks, or null when all are bound.
const char* MissingHostService();
