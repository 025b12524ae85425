#pragma once
// zntool thumbnail: the first frame of an animation as a PNG, the picture
// a file manager shows for the file.
#include "Arguments.h"

// Reads job.input as the editor's Open does and writes its first frame to
// job.output, enlarged by pixel replication to the largest multiple of 16
// within the size asked for. Throws EFileFailure naming the file at fault;
// nothing is written then.
void WriteThumbnail(const ConvertJob& job, int size);
