// Paths of baked images as the plug-in builds them (folder + "\" + name)
// turned into paths the file system of this machine understands.
#pragma once

#include <boost/filesystem/path.hpp>

#include <string>

// On hosts whose separator is '/', a '\\' of the plug-in's paths is a
// separator as well.
boost::filesystem::path LocalPath(const std::string& hostPath);
