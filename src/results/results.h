// The dated comma-separated result file of a run.
#pragma once

#include <string>

#include "model/records.h"

// Writes the result file in the working directory; false when it was not completely written
// and flushed to disk.
bool WriteResults(const Presenter& presenter);

// "resultYYYYMMDD_HHMM_SS.csv"
std::string ResultFileName(const plat::LocalDateTime& time);

// Creates the file under `baseName`, or under the name with _2, _3, ... before ".csv" when
// that is taken; never opens an existing file. *usedName receives the name created.
plat::FileHandle CreateResultFile(const std::string& baseName, std::string* usedName);

// Writes the header and one line per trial, each handed to the system as it is formatted.
bool WriteResultLines(const Presenter& presenter, plat::FileHandle file);
