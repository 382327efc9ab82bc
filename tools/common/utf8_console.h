// The tools speak UTF-8: their arguments, file names and output. On Windows the manifest gives
// the process UTF-8 as its code page; the console it prints to is told here.
#pragma once

namespace facepad {

// Windows: the console shows the tool's output as UTF-8 until the tool exits, then gets its own
// code page back. Elsewhere nothing to do.
void UseUtf8Console();

}  // namespace facepad
