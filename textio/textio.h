// The one door to text for the rest of the program: every line that is read or written goes
// through a Layout, applied by the functions and services declared in the headers below.
//
//  - textio/layout.h    layout items, values and variables, the engine that applies layouts
//  - textio/fields.h    the rules of single fields (read a number, write one into its width)
//  - textio/text.h      texts fitted to a width and escaped
//  - textio/names.h     names cut from their fields or taken whole, list files read as names
//  - textio/files.h     the file system seam, line files, read and written files as objects
//  - textio/console.h   the console seam
//  - textio/result.h    the end of a run as a value, results that carry a value or that end
//  - textio/services.h  console and file services: prompts, answers, lines, the ends of a run
//
// textio/std_console.h, the console of the process, is for the program's entry alone.
#ifndef CORVANE_TEXTIO_TEXTIO_H
#define CORVANE_TEXTIO_TEXTIO_H

#include "textio/console.h"
#include "textio/fields.h"
#include "textio/files.h"
#include "textio/layout.h"
#include "textio/names.h"
#include "textio/result.h"
#include "textio/services.h"
#include "textio/text.h"

#endif  // CORVANE_TEXTIO_TEXTIO_H
