#pragma once

// A look read into memory for one file. Holds nothing yet: only the stored
// LUT size is taken from the text until the grading model is linked in.
class ParsedLook {};
