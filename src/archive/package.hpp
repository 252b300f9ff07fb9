// The package archive: one format for project packages, the system library and save files.
#pragma once
#include "archive/package_format.hpp"
#include "archive/package_reader.hpp"
#include "archive/package_writer.hpp"
