// The conversion error: a text that should hold a number (or a point-list text) does not.
#pragma once

#include <stdexcept>

class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
