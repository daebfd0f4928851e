#pragma once

#include <string>

// True when path lies on a CD, DVD or Blu-ray disc: its file system is iso9660 or udf, or it
// is mounted from an optical drive (/dev/sr*). Looks at the mount table of this process.
bool IsOnOpticalDisc(const std::string& path);
// The same decision against the text of a mountinfo table (the form of
// /proc/self/mountinfo), for a path that is already absolute and free of links.
bool IsOnOpticalDiscIn(const std::string& path, const std::string& mountInfo);
