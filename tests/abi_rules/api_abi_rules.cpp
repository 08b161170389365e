// Checks every header of the player's API for what the MSVC and Itanium C++ ABIs lay out or
// call differently: a virtual operation that returns an aggregate by value, overloaded virtual
// operations, a virtual destructor. Parses the headers with libclang and prints one line per
// finding, for the classes declared in the folder of the headers named; exits with 1 when
// there was any.
//
//   api_abi_rules INCLUDE_DIR HEADER...

#include <clang-c/Index.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string text_of(CXString value) {
    const char* chars = clang_getCString(value);
    std::string copy = chars != nullptr ? chars : "";
    clang_disposeString(value);
    return copy;
}

std::string where(CXCursor cursor) {
    CXFile file = nullptr;
    unsigned line = 0;
    clang_getSpellingLocation(clang_getCursorLocation(cursor), &file, &line, nullptr, nullptr);
    return text_of(clang_getFileName(file)) + ":" + std::to_string(line);
}

bool is_class(CXCursorKind kind) {
    return kind == CXCursor_ClassDecl || kind == CXCursor_StructDecl;
}

class rule_checker {
  public:
    explicit rule_checker(std::string api_root) : api_root_(std::move(api_root)) {}

    void check_translation_unit(CXTranslationUnit unit) {
        clang_visitChildren(clang_getTranslationUnitCursor(unit), &rule_checker::visit, this);
    }

    int findings() const { return findings_; }

  private:
    // name -> distinct signatures of the virtual operations a class has or inherits.
    using signatures = std::map<std::string, std::set<std::string>>;

    static CXChildVisitResult visit(CXCursor cursor, CXCursor /*parent*/, CXClientData data) {
        auto& self = *static_cast<rule_checker*>(data);
        const CXCursorKind kind = clang_getCursorKind(cursor);
        if (kind == CXCursor_Namespace || kind == CXCursor_LinkageSpec) {
            return CXChildVisit_Recurse;
        }
        if (is_class(kind) && clang_isCursorDefinition(cursor) != 0 && self.in_api(cursor)) {
            self.check_class(cursor);
        }
        return CXChildVisit_Continue;
    }

    bool in_api(CXCursor cursor) const { return where(cursor).rfind(api_root_, 0) == 0; }

    void report(CXCursor cursor, const std::string& what) {
        const std::string usr = text_of(clang_getCursorUSR(cursor)) + what;
        if (!reported_.insert(usr).second) {
            return;  // a header included by several others is seen more than once
        }
        std::printf("%s: %s\n", where(cursor).c_str(), what.c_str());
        ++findings_;
    }

    void check_class(CXCursor cls) {
        const std::string name = text_of(clang_getCursorSpelling(cls));
        signatures virtuals;
        collect(cls, virtuals, /*own=*/true);
        for (const auto& [operation, kinds] : virtuals) {
            if (kinds.size() > 1) {
                report(cls,
                       "class " + name + " has overloaded virtual operations named " + operation);
            }
        }
    }

    // Adds the virtual operations of cls and of its bases; own: cls is the class checked, whose
    // own operations are also checked one by one.
    void collect(CXCursor cls, signatures& virtuals, bool own) {
        struct context {
            rule_checker* self;
            signatures* virtuals;
            bool own;
        } ctx{this, &virtuals, own};
        clang_visitChildren(
            cls,
            [](CXCursor member, CXCursor, CXClientData data) {
                auto& c = *static_cast<context*>(data);
                const CXCursorKind kind = clang_getCursorKind(member);
                if (kind == CXCursor_CXXBaseSpecifier) {
                    const CXCursor base = clang_getCursorDefinition(
                        clang_getTypeDeclaration(clang_getCursorType(member)));
                    if (!clang_Cursor_isNull(base)) {
                        c.self->collect(base, *c.virtuals, false);
                    }
                } else if (kind == CXCursor_Destructor && clang_CXXMethod_isVirtual(member) != 0) {
                    if (c.own) {
                        c.self->report(member, "virtual destructor");
                    }
                } else if (kind == CXCursor_CXXMethod && clang_CXXMethod_isVirtual(member) != 0) {
                    const std::string name = text_of(clang_getCursorSpelling(member));
                    const CXType type = clang_getCanonicalType(clang_getCursorType(member));
                    (*c.virtuals)[name].insert(text_of(clang_getTypeSpelling(type)));
                    const CXType result = clang_getCanonicalType(clang_getResultType(type));
                    if (c.own && result.kind == CXType_Record) {
                        c.self->report(member, "virtual operation " + name +
                                                   " returns an aggregate by value (" +
                                                   text_of(clang_getTypeSpelling(result)) + ")");
                    }
                }
                return CXChildVisit_Continue;
            },
            &ctx);
    }

    std::string api_root_;
    std::set<std::string> reported_;
    int findings_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: api_abi_rules INCLUDE_DIR HEADER...\n");
        return 2;
    }
    const std::string include = std::string("-I") + argv[1];
    const std::vector<const char*> arguments{"-x", "c++", "-std=c++20", include.c_str()};
    const std::string first = argv[2];
    rule_checker checker(first.substr(0, first.find_last_of('/') + 1));
    CXIndex index = clang_createIndex(0, 1);
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        CXTranslationUnit unit = nullptr;
        if (clang_parseTranslationUnit2(
                index, argv[i], arguments.data(), static_cast<int>(arguments.size()), nullptr, 0,
                CXTranslationUnit_SkipFunctionBodies, &unit) != CXError_Success) {
            std::printf("%s: cannot be parsed\n", argv[i]);
            ++failures;
            continue;
        }
        for (unsigned d = 0; d < clang_getNumDiagnostics(unit); ++d) {
            CXDiagnostic diagnostic = clang_getDiagnostic(unit, d);
            if (clang_getDiagnosticSeverity(diagnostic) >= CXDiagnostic_Error) {
                std::printf("%s\n",
                            text_of(clang_formatDiagnostic(diagnostic,
                                                           clang_defaultDiagnosticDisplayOptions()))
                                .c_str());
                ++failures;
            }
            clang_disposeDiagnostic(diagnostic);
        }
        checker.check_translation_unit(unit);
        clang_disposeTranslationUnit(unit);
    }
    clang_disposeIndex(index);
    failures += checker.findings();
    std::printf("%d finding(s)\n", failures);
    return failures == 0 ? 0 : 1;
}
