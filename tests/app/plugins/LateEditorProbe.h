#pragma once
// What the late-editor test plug-in records of the window's calls.
#include <cstdint>

struct LateEditorProbe {
    intptr_t editorWindow = 0; // the window id of the open editor, 0 while closed
    int opens = 0;
    int closes = 0;
};
