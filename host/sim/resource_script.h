// Reader of the DIALOGEX templates in the plug-in's resource script.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

struct ControlTemplate {
    int id = 0;
    std::string className;  // "Static", "Edit", "Button"
    std::string text;
    DWORD style = 0;  // as written, before the implied WS_CHILD
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    int line = 0;                             // in the script
    DWORD clearedStyle = 0;                   // bits removed with NOT, the implied ones too
};

struct DialogTemplate {
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string caption;
    int fontSize = 0;
    std::string fontFace;
    std::vector<ControlTemplate> controls;  // template order = tab order
};

// Errors name the line and what was expected.
bool ParseResourceScript(const std::string& script, std::vector<DialogTemplate>* dialogs, std::string* error);
// The templates of the script given to SetResourceScript, by id; null when absent.
const DialogTemplate* FindDialogTemplate(int id);
// Why the script given to SetResourceScript could not be read; empty when it could.
std::string ResourceScriptError();

}  // namespace sim
