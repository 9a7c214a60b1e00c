// The operations `convert` applies between open and save, in the order given. Each calls
// the edit the viewer's command of the same name makes (ops/Picture_edits), applied to
// the document without an undo chain.
#pragma once

#include <string>
#include <vector>

class TIMAGE_INFO;

struct Operation {
    const char* name; // the long option without its dashes: "gamma"
    bool takes_value;
    // kOk, or a result code; kDataError for a value out of range.
    int (*apply)(TIMAGE_INFO& doc, const std::string& value);
};

const std::vector<Operation>& Operations();

// Parses a whole decimal number from lo to hi; false when the word is not one.
bool ParseInt(const std::string& word, long lo, long hi, int& out);
