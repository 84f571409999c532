#pragma once
// Standard input, output and error as a program starts.
namespace parlux {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Called
// before anything else opens a file: a closed descriptor would be taken by
// the next file opened (the lock, a page), and the lines meant for stdout or
// stderr would be written into it.
void OpenStandardDescriptors();

}  // namespace parlux
