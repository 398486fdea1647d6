#pragma once
// The classes registry: which program opens which file type.
//
// Keys are addressed as under the classes root: an extension key (".MP3", case-insensitive)
// or the program's class key "Quavix" with subkeys such as "Quavix\shell\open\command".
// - queryValue returns the key's default value, or std::nullopt when the key does not exist.
// - setValue creates the key as needed and sets its default value; returns false when the
//   backing file cannot be written (nothing is half-written).
// Extension keys hold the name of the class that opens the type ("Quavix" or another
// program's); the class key's open command is the command line with " %1" for the file.
// - displayName(className) is the name to show a user for a class value: the program's own
//   name where the registry knows it, otherwise the value itself ("" stays "").
// - location(key) names the file a key is written to, for messages; "" when unknown.
#include <optional>
#include <string>

namespace quavix {

class ClassesRegistry {
public:
    virtual ~ClassesRegistry() = default;
    virtual std::optional<std::string> queryValue(const std::string& key) = 0;
    virtual bool setValue(const std::string& key, const std::string& value) = 0;
    virtual std::string displayName(const std::string& className) { return className; }
    virtual std::string location(const std::string& /*key*/) { return {}; }
};

} // namespace quavix
