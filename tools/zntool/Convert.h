#pragma once
// zntool convert: one input animation to one output file.
#include "Arguments.h"

// Reads job.input as the editor's Open does, sets the fields given on the
// command line and writes job.output in the chosen format, whole or not at
// all. Throws EFileFailure naming the file at fault.
void ConvertAnimation(const ConvertJob& job, const Invocation& invocation);
