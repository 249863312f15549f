#pragma once
// The places of the main window's layout that the shell hands to the area controllers.

class QVBoxLayout;
class QHBoxLayout;

struct WindowAreas {
    QVBoxLayout* left = nullptr;  // the left side panel, top to bottom
    QVBoxLayout* work = nullptr;  // the middle of the window, above the tape panels
    QVBoxLayout* right = nullptr; // the right side panel
    QHBoxLayout* above = nullptr; // the panel above the VTape
    QVBoxLayout* tape = nullptr;  // the tape panel at the bottom
};
