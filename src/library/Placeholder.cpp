int sonquil_library_placeholder = 0;
