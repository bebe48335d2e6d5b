#include "about_text.h"

const char* const AboutText =
    "Taviron 1.003 by Jonas Orlemby\n"
    "http://www.orlemby.example/taviron\n"
    "jonas@orlemby.example\n"
    "Freeware\n"
    "\n"
    "\n"
    "Taviron is a temporal filter that samples each pixel from a specified\n"
    " amount of frames and then applies an algorithm on each pixel.";
