#pragma once

#include <string>

// The tag texts the index document is written with. Element names are written in lower
// case; no element carries attributes or takes the empty-element form.
namespace indextag {

// "<" name ">"
std::string start(const std::string& name);
// "<" name ">" CR LF
std::string startLine(const std::string& name);
// "</" name ">"
std::string end(const std::string& name);
// "</" name ">" CR LF
std::string endLine(const std::string& name);
// start(name) + value + endLine(name): one line holding one value.
std::string valueLine(const std::string& name, const std::string& value);

} // namespace indextag

// Element names of the index document.
namespace indexname {
inline const std::string kRoot = "vaultrowan";
inline const std::string kKeyFile = "sckeyf";
inline const std::string kKeyWord = "sckeyw";
inline const std::string kFile = "file";
inline const std::string kStore = "store";
inline const std::string kSecure = "secure";
inline const std::string kAttributes = "file-attribute";
inline const std::string kNote = "notetag";
} // namespace indexname

// The first line of every index document.
inline const std::string kIndexHeaderLine = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n";
