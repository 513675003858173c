#include "secure/index_tags.h"

namespace indextag {

std::string start(const std::string& name) {
    return "<" + name + ">";
}

std::string startLine(const std::string& name) {
    return "<" + name + ">\r\n";
}

std::string end(const std::string& name) {
    return "</" + name + ">";
}

std::string endLine(const std::string& name) {
    return "</" + name + ">\r\n";
}

std::string valueLine(const std::string& name, const std::string& value) {
    return start(name) + value + endLine(name);
}

} // namespace indextag
