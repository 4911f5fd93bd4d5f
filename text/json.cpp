// JSON read through nlohmann-json's event interface: its lexer checks UTF-8 and decodes
// escapes and surrogate pairs; what is kept of a text is decided here.
#include "text/json.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace vexal {
namespace {

using Json = nlohmann::json;

// The events every reading shares: the depth bound and where an error stopped it.
class Events {
public:
    explicit Events(std::size_t size) : size_(size) {}

    bool null() { return true; }
    bool boolean(bool) { return true; }
    bool number_integer(Json::number_integer_t) { return true; }
    bool number_unsigned(Json::number_unsigned_t) { return true; }
    bool number_float(Json::number_float_t, const Json::string_t&) { return true; }
    bool string(Json::string_t&) { return true; }
    bool binary(Json::binary_t&) { return true; }
    bool key(Json::string_t&) { return true; }
    bool start_object(std::size_t) { return Deeper(); }
    bool end_object() { return Shallower(); }
    bool start_array(std::size_t) { return Deeper(); }
    bool end_array() { return Shallower(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
        // `position` counts the characters read, the one that failed included.
        result_.end = JsonEnd::Malformed;
        result_.stop = std::min(position > 0 ? position - 1 : 0, size_);
        return false;
    }

    JsonScanResult Result(bool parsed) {
        if (tooDeep_) return {JsonEnd::TooDeep, size_};
        if (parsed) return {JsonEnd::WellFormed, size_};
        return result_;
    }

private:
    bool Deeper() {
        tooDeep_ = ++depth_ > kJsonMaxDepth;
        return !tooDeep_;
    }
    bool Shallower() {
        --depth_;
        return true;
    }

    std::size_t size_;
    std::size_t depth_ = 0;
    bool tooDeep_ = false;
    JsonScanResult result_{JsonEnd::Malformed, 0};
};

template <typename Reader>
JsonScanResult Read(std::string_view text, Reader& reader) {
    bool parsed = false;
    try {
        parsed = Json::sax_parse(text.data(), text.data() + text.size(), &reader, Json::input_format_t::json,
                                 /*strict=*/true, /*ignore_comments=*/false);
    } catch (const Json::exception&) {
        // Errors reach parse_error, which stops the reading; nothing is meant to throw.
        parsed = false;
    }
    return reader.Result(parsed);
}

class StringScan : public Events {
public:
    StringScan(std::size_t size, const std::function<void(JsonString, std::string_view)>& visit)
        : Events(size), visit_(visit) {}
    bool key(Json::string_t& name) {
        visit_(JsonString::Key, name);
        return true;
    }
    bool string(Json::string_t& value) {
        visit_(JsonString::Value, value);
        return true;
    }

private:
    const std::function<void(JsonString, std::string_view)>& visit_;
};

// Builds the tree without recursion: the containers still open, innermost last. A pointer
// into a container's elements stays valid while a deeper one is open, as only the
// innermost grows.
class TreeBuilder : public Events {
public:
    TreeBuilder(std::size_t size, JsonValue& root) : Events(size), root_(root) {}

    bool null() {
        Place();
        return true;
    }
    bool boolean(bool truth) {
        JsonValue& v = Place(JsonValue::Kind::Bool);
        v.truth = truth;
        return true;
    }
    bool number_integer(Json::number_integer_t n) { return Number(static_cast<double>(n)); }
    bool number_unsigned(Json::number_unsigned_t n) { return Number(static_cast<double>(n)); }
    bool number_float(Json::number_float_t n, const Json::string_t&) { return Number(n); }
    bool string(Json::string_t& text) {
        Place(JsonValue::Kind::String).text = std::move(text);
        return true;
    }
    bool key(Json::string_t& name) {
        key_ = std::move(name);
        return true;
    }
    bool start_object(std::size_t n) { return Open(JsonValue::Kind::Object, Events::start_object(n)); }
    bool start_array(std::size_t n) { return Open(JsonValue::Kind::Array, Events::start_array(n)); }
    bool end_object() {
        open_.pop_back();
        return Events::end_object();
    }
    bool end_array() {
        open_.pop_back();
        return Events::end_array();
    }

private:
    JsonValue& Place(JsonValue::Kind kind = JsonValue::Kind::Null) {
        JsonValue* v = &root_;
        if (!open_.empty()) {
            JsonValue& parent = *open_.back();
            if (parent.kind == JsonValue::Kind::Array) {
                v = &parent.items.emplace_back();
            } else {
                v = &parent.members.emplace_back(JsonMember{std::move(key_), {}}).value;
            }
        }
        v->kind = kind;
        return *v;
    }
    bool Number(double n) {
        Place(JsonValue::Kind::Number).number = n;
        return true;
    }
    bool Open(JsonValue::Kind kind, bool allowed) {
        if (allowed) open_.push_back(&Place(kind));
        return allowed;
    }

    JsonValue& root_;
    std::vector<JsonValue*> open_;
    std::string key_;
};

}  // namespace

JsonScanResult ScanJsonStrings(std::string_view text,
                               const std::function<void(JsonString, std::string_view)>& visit) {
    StringScan scan(text.size(), visit);
    return Read(text, scan);
}

const JsonValue* JsonValue::Member(std::string_view name) const {
    for (const JsonMember& member : members)
        if (member.name == name) return &member.value;
    return nullptr;
}

bool ParseJson(std::string_view text, JsonValue& out) {
    JsonValue tree;
    TreeBuilder builder(text.size(), tree);
    const bool ok = Read(text, builder).end == JsonEnd::WellFormed;
    out = ok ? std::move(tree) : JsonValue{};
    return ok;
}

}  // namespace vexal
