// Whether standard input can carry the operator's answer to a console prompt.
#pragma once

// False when nobody can type at it: on Windows a program without a console and without
// redirected input (a window program started from the desktop), or a console program
// whose console was made for it alone (started from the desktop by a double click, its
// window a stranger to the operator). Redirected input (a pipe, a file) is read as given.
// Elsewhere true: a program started from the desktop finds its input at end of file,
// which the reader sees by itself.
bool standard_input_has_operator();
