#pragma once

#include <string>

// The short name of the muxer the libraries choose for a file name by its extension; empty
// when there is none, or when the muxer names its files itself (image sequences, segments).
// Lets a file be written under another name in the same container.
std::string MuxerForFileName(const std::string& fileName);
