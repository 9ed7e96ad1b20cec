// Renders a reading document as the indented JSON text that clients receive.
#pragma once

#include <string>

#include "service/reading_document.h"

// Objects and arrays are opened on their own line below the member's key,
// every value is a string, and the text ends with a line feed. Throws
// std::invalid_argument for a tree that JSON cannot show (a node with both a
// value and children, or a root with a value).
std::string TreeToJsonText(const ReadingDocument& document);
// The same text, appended to `out`.
void AppendJsonText(const ReadingDocument& document, std::string& out);
