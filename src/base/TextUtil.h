#pragma once
// Trimming of configuration lines in place.

namespace mervex {

// Overwrite the text's trailing white space with zeros; returns the text.
char* trimRight(char* text);

// Trim the end in place and return a pointer to the first non-blank character.
char* trimBoth(char* text);

}  // namespace mervex
