// The console menu exactly as the program prints it, up to the prompt.
#pragma once

inline const char *const MENU =
    "\n"
    "**************************************************\n"
    "*       3dfx setup for LUMO vo. 1.3 by Q5        *\n"
    "**************************************************\n"
    "\n"
    "\n"
    " 1. 512x384 \n"
    " 2. 640x480 \n"
    " 3. 800x600\n"
    " 4. 1024x768\n"
    "\nVAL> ";
