// Title-format compiler (recursive descent into a small tree) and evaluator.

#include "standin/player/title_format.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "standin/player/text_case.h"

namespace standin {

struct title_node {
    enum class kind { literal, field, section, call, sequence };
    kind type = kind::sequence;
    std::string text;  // literal text, field name or function name
    bool quoted = false;
    std::vector<title_node> children;  // sequence items, section body or call arguments
};

namespace {

// Deep scripts must not exhaust the stack.
constexpr int max_nesting = 64;

class syntax_error : public std::runtime_error {
  public:
    syntax_error(const std::string& message, std::size_t position)
        : std::runtime_error(message), position_(position) {}
    std::size_t position() const { return position_; }

  private:
    std::size_t position_;
};

struct function_rule {
    std::string_view name;
    std::size_t min_arguments;
    std::size_t max_arguments;
};

constexpr function_rule functions[] = {
    {"if", 2, 3},   {"if2", 2, 2},   {"if3", 2, static_cast<std::size_t>(-1)},
    {"left", 2, 2}, {"upper", 1, 1}, {"lower", 1, 1},
};

const function_rule* find_function(std::string_view name) {
    for (const function_rule& rule : functions) {
        if (rule.name == name) {
            return &rule;
        }
    }
    return nullptr;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class parser {
  public:
    explicit parser(std::string_view script) : script_(script) {}

    title_node parse_script() {
        title_node root = parse_sequence(context::top, 0);
        if (pos_ < script_.size()) {
            throw syntax_error("unexpected ']'", pos_);
        }
        return root;
    }

  private:
    enum class context { top, section, argument };

    title_node parse_sequence(context where, int depth) {
        if (depth > max_nesting) {
            throw syntax_error("nested too deeply", pos_);
        }
        title_node sequence;
        int open_parentheses = 0;  // literal parentheses inside a function argument
        while (pos_ < script_.size()) {
            const char c = script_[pos_];
            if (c == ']' && where != context::argument) {
                if (where == context::section) {
                    return sequence;
                }
                throw syntax_error("unexpected ']'", pos_);
            }
            if (where == context::argument) {
                if (c == ',' && open_parentheses == 0) {
                    return sequence;
                }
                if (c == ')') {
                    if (open_parentheses == 0) {
                        return sequence;
                    }
                    --open_parentheses;
                } else if (c == '(') {
                    ++open_parentheses;
                }
            }
            if (c == '%') {
                sequence.children.push_back(parse_field());
            } else if (c == '$') {
                sequence.children.push_back(parse_call(depth));
            } else if (c == '[') {
                const std::size_t start = pos_++;
                title_node section;
                section.type = title_node::kind::section;
                section.children.push_back(parse_sequence(context::section, depth + 1));
                if (pos_ >= script_.size()) {
                    throw syntax_error("'[' is never closed", start);
                }
                ++pos_;  // ']'
                sequence.children.push_back(std::move(section));
            } else if (c == '\'') {
                sequence.children.push_back(parse_quoted());
            } else {
                append_literal(sequence, std::string(1, c));
                ++pos_;
            }
        }
        if (where == context::section) {
            return sequence;  // the caller reports the missing ']'
        }
        return sequence;
    }

    title_node parse_field() {
        const std::size_t start = pos_++;
        const std::size_t end = script_.find('%', pos_);
        if (end == std::string_view::npos) {
            throw syntax_error("'%' is never closed", start);
        }
        title_node field;
        field.type = title_node::kind::field;
        field.text = lower_ascii(script_.substr(pos_, end - pos_));
        if (field.text.empty()) {
            throw syntax_error("empty field name", start);
        }
        pos_ = end + 1;
        return field;
    }

    title_node parse_quoted() {
        const std::size_t start = pos_++;
        const std::size_t end = script_.find('\'', pos_);
        if (end == std::string_view::npos) {
            throw syntax_error("quote is never closed", start);
        }
        title_node literal;
        literal.type = title_node::kind::literal;
        literal.quoted = true;
        literal.text = end == pos_ ? "'" : std::string(script_.substr(pos_, end - pos_));
        pos_ = end + 1;
        return literal;
    }

    title_node parse_call(int depth) {
        const std::size_t start = pos_++;
        std::size_t name_end = pos_;
        while (name_end < script_.size() &&
               (std::isalnum(static_cast<unsigned char>(script_[name_end])) != 0 ||
                script_[name_end] == '_')) {
            ++name_end;
        }
        const std::string name = lower_ascii(script_.substr(pos_, name_end - pos_));
        if (name.empty()) {
            throw syntax_error("'$' without a function name", start);
        }
        const function_rule* rule = find_function(name);
        if (rule == nullptr) {
            throw syntax_error("unknown function $" + name, start);
        }
        pos_ = name_end;
        if (pos_ >= script_.size() || script_[pos_] != '(') {
            throw syntax_error("$" + name + " needs '('", pos_);
        }
        ++pos_;
        title_node call;
        call.type = title_node::kind::call;
        call.text = name;
        while (true) {
            title_node argument = parse_sequence(context::argument, depth + 1);
            trim_argument(argument);
            call.children.push_back(std::move(argument));
            if (pos_ >= script_.size()) {
                throw syntax_error("$" + name + "( is never closed", start);
            }
            if (script_[pos_++] == ')') {
                break;
            }
        }
        const std::size_t count = call.children.size();
        if (count < rule->min_arguments || count > rule->max_arguments) {
            throw syntax_error("wrong number of arguments for $" + name, start);
        }
        return call;
    }

    static void append_literal(title_node& sequence, const std::string& text) {
        if (!sequence.children.empty() &&
            sequence.children.back().type == title_node::kind::literal &&
            !sequence.children.back().quoted) {
            sequence.children.back().text += text;
            return;
        }
        title_node literal;
        literal.type = title_node::kind::literal;
        literal.text = text;
        sequence.children.push_back(std::move(literal));
    }

    // Spaces around an argument separate it from the commas; they are not part of it.
    static void trim_argument(title_node& argument) {
        auto& items = argument.children;
        if (!items.empty() && items.front().type == title_node::kind::literal &&
            !items.front().quoted) {
            std::string& text = items.front().text;
            std::size_t first = 0;
            while (first < text.size() && is_space(text[first])) {
                ++first;
            }
            text.erase(0, first);
        }
        if (!items.empty() && items.back().type == title_node::kind::literal &&
            !items.back().quoted) {
            std::string& text = items.back().text;
            while (!text.empty() && is_space(text.back())) {
                text.pop_back();
            }
        }
        std::erase_if(items, [](const title_node& item) {
            return item.type == title_node::kind::literal && item.text.empty();
        });
    }

    std::string_view script_;
    std::size_t pos_ = 0;
};

struct value {
    std::string text;
    bool found = false;    // some field inside was present: the value counts as true
    bool missing = false;  // some field whose text shows here was absent
};

value evaluate(const title_node& node, const field_lookup& fields);

value evaluate_sequence(const title_node& node, const field_lookup& fields) {
    value result;
    for (const title_node& item : node.children) {
        value part = evaluate(item, fields);
        result.text += part.text;
        result.found = result.found || part.found;
        result.missing = result.missing || part.missing;
    }
    return result;
}

std::size_t parse_count(const std::string& text) {
    const long long n = std::strtoll(text.c_str(), nullptr, 10);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

value evaluate_call(const title_node& node, const field_lookup& fields) {
    const auto& args = node.children;
    const std::string& name = node.text;
    if (name == "if") {
        if (evaluate(args[0], fields).found) {
            return evaluate(args[1], fields);
        }
        return args.size() == 3 ? evaluate(args[2], fields) : value{};
    }
    if (name == "if2") {
        value first = evaluate(args[0], fields);
        return first.found ? first : evaluate(args[1], fields);
    }
    if (name == "if3") {
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            value candidate = evaluate(args[i], fields);
            if (candidate.found) {
                return candidate;
            }
        }
        return evaluate(args.back(), fields);
    }
    if (name == "left") {
        value text = evaluate(args[0], fields);
        text.text = utf8_prefix(text.text, parse_count(evaluate(args[1], fields).text));
        return text;
    }
    value text = evaluate(args[0], fields);
    text.text = name == "upper" ? to_upper_utf8(text.text) : to_lower_utf8(text.text);
    return text;
}

value evaluate(const title_node& node, const field_lookup& fields) {
    switch (node.type) {
        case title_node::kind::literal:
            return value{node.text};
        case title_node::kind::field: {
            std::optional<std::string> text = fields ? fields(node.text) : std::nullopt;
            if (!text) {
                return value{"?", false, true};
            }
            return value{std::move(*text), true, false};
        }
        case title_node::kind::section: {
            value body = evaluate_sequence(node.children.front(), fields);
            if (body.missing || !body.found) {
                return value{};
            }
            return body;
        }
        case title_node::kind::call:
            return evaluate_call(node, fields);
        case title_node::kind::sequence:
            return evaluate_sequence(node, fields);
    }
    return value{};
}

}  // namespace

compiled_title_format compiled_title_format::compile(std::string_view script) {
    compiled_title_format result;
    try {
        result.root_ = std::make_shared<const title_node>(parser(script).parse_script());
    } catch (const syntax_error& fault) {
        result.error_ =
            std::string(fault.what()) + " at column " + std::to_string(fault.position() + 1);
    }
    return result;
}

std::string compiled_title_format::format(const field_lookup& fields) const {
    if (!ok()) {
        return "(title format error: " + error_ + ")";
    }
    return evaluate(*root_, fields).text;
}

}  // namespace standin
