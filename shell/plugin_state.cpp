#include "shell/plugin_state.h"

// Zero-initialised as a static: every record holds zero bytes until Init.
PluginState g_plugin;
