// Exceptions of the application shell. They surface in the event handlers, where
// RunGuarded (app/prompter.h) shows their text in the application's error dialog.
#pragma once

#include <stdexcept>
#include <string>

// A statement failed or there is no database connection. The text is the driver's.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that should hold a number (or a point-list text) does not: ConversionError, shared
// with the Qt-free readers of stored records.
#include "study/conversion_error.h"

// An index past the end of a list (for example a wall row of a frame the card does not have).
class ListIndexError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};
