#include "tools/script/text/page_text.h"

#include <algorithm>
#include <set>

#include "base/error.h"
#include "base/sjis.h"
#include "tools/script/text/expression_text.h"
#include "tools/script/text/text_syntax.h"

namespace kivo::script_text {

namespace {

constexpr int kIndentWidth = 4;
// Deeper levels (and negative ones, which only damaged pages have) are written as a number.
constexpr int32_t kMaxIndentAsSpaces = 32;

std::string LabelReference(std::string_view cp932) {
    return "<" + NameText(cp932) + ">";
}

// Index of the first Label command of that name, or -1; jumps by label land there.
int32_t FirstLabel(const std::vector<CommandRecord>& commands, std::string_view name) {
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].Code() == CommandCode::Label && commands[i].String("name") == name) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

// The page a "target" or "index" field points into: the record's "page" field when it has one.
// An empty page name stands for the page itself.
bool PointsIntoSelf(const CommandRecord& record, std::string_view selfName) {
    if (record.Layout().IndexOf("page") < 0) return true;
    const std::string& page = record.String("page");
    if (page.empty()) return true;
    size_t cut = sjis::FindLastDelimiter(page);
    std::string_view base = std::string_view(page).substr(cut == std::string::npos ? 0 : cut + 1);
    return sjis::EqualsIgnoreCase(base, selfName);
}

// Every int32 field of a record is the index of a command: a target, an exit or a resume point.
bool IsIndexField(const FieldLayout& field) {
    return field.kind == FieldKind::Int32;
}

bool IsEmptyValue(const FieldValue& value) {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return true;
            } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, uint8_t>) {
                return v == 0;
            } else if constexpr (std::is_same_v<T, TKivoParser>) {
                return v.Empty();
            } else {
                return v.empty();
            }
        },
        value);
}

// The masks a page needs when every component command stores exactly its non-empty properties.
PropertyMasks UsedProperties(const std::vector<CommandRecord>& commands) {
    PropertyMasks masks;
    for (const CommandRecord& record : commands) {
        int field = record.Layout().IndexOf("properties");
        if (field < 0) continue;
        for (const PropertyExpr& property : record.Properties()) {
            if (!property.expr.Empty()) masks.Set(static_cast<int>(record.Code()), property.id);
        }
    }
    return masks;
}

class PageWriter {
  public:
    PageWriter(const PageFile& page, std::string_view selfName) : page_(page), self_(selfName) {}

    std::string Run() {
        out_ += "version " + std::to_string(page_.version) + "\n";
        out_ += "result " + ValueTypeText(page_.resultType) + "\n";
        if (!page_.IsParsed()) {
            AppendHexLines(out_, "body", page_.unparsedBody);
            return out_;
        }
        WriteMasks();
        FindNumberedTargets();
        int32_t expectedLine = 1;
        for (size_t i = 0; i < page_.commands.size(); ++i) {
            WriteCommand(i, expectedLine);
            expectedLine = page_.commands[i].line + 1;
        }
        AppendHexLines(out_, "trailer", page_.trailer);
        return out_;
    }

  private:
    void WriteMasks() {
        PropertyMasks masks = page_.Masks();
        bool ordinaryShape = page_.maskCount == kCommandCount && page_.maskSize == kMaskBytes &&
                             std::equal(masks.bytes.begin(), masks.bytes.end(),
                                        page_.maskBlock.begin(), page_.maskBlock.end());
        if (!ordinaryShape) {
            out_ += "masks " + std::to_string(page_.maskCount) + " " +
                    std::to_string(page_.maskSize) + "\n";
            AppendHexLines(out_, "maskbytes", page_.maskBlock);
            return;
        }
        // Masks that follow from the commands are left out; the reader derives them again.
        if (masks.bytes == UsedProperties(page_.commands).bytes) return;
        PropertyMasks named;
        bool anyNamed = false;
        for (int type = 0; type < kCommandCount; ++type) {
            std::vector<PropertyId> ids = masks.Ids(type);
            if (ids.empty()) continue;
            anyNamed = true;
            out_ += "mask " + std::string(Commands()[static_cast<size_t>(type)].name);
            for (PropertyId id : ids) {
                out_ += " " + std::string(Properties()[static_cast<size_t>(id)].name);
                named.Set(type, id);
            }
            out_ += "\n";
        }
        // Bits above the last property id have no name; such masks are written as bytes.
        if (named.bytes != masks.bytes) {
            out_ +=
                "masks " + std::to_string(kCommandCount) + " " + std::to_string(kMaskBytes) + "\n";
            AppendHexLines(out_, "maskbytes", page_.maskBlock);
        } else if (!anyNamed) {
            // All masks empty while the commands would need some: impossible for a page that
            // reads back, but written plainly rather than lost.
            out_ += "mask none\n";
        }
    }

    void FindNumberedTargets() {
        for (const CommandRecord& record : page_.commands) {
            const auto fields = record.Layout().fields;
            for (size_t j = 0; j < fields.size(); ++j) {
                const int32_t* index = std::get_if<int32_t>(&record.fields[j]);
                if (index == nullptr || !IsIndexField(fields[j])) continue;
                if (!LabelTarget(record, fields[j], *index) && PointsIntoSelf(record, self_)) {
                    numbered_.insert(*index);
                }
            }
        }
    }

    // The label an index field may be written as, or nullptr: a Label of this page that is
    // the first of its name.
    const std::string* LabelTarget(const CommandRecord& record, const FieldLayout& field,
                                   int32_t index) const {
        if (!IsIndexField(field) || !PointsIntoSelf(record, self_)) return nullptr;
        if (index < 0 || static_cast<size_t>(index) >= page_.commands.size()) return nullptr;
        const CommandRecord& target = page_.commands[static_cast<size_t>(index)];
        if (target.Code() != CommandCode::Label) return nullptr;
        const std::string& name = target.String("name");
        return FirstLabel(page_.commands, name) == index ? &name : nullptr;
    }

    void WriteCommand(size_t index, int32_t expectedLine) {
        const CommandRecord& record = page_.commands[index];
        bool spaces = record.indent >= 0 && record.indent <= kMaxIndentAsSpaces;
        out_.append(spaces ? static_cast<size_t>(record.indent * kIndentWidth) : 0, ' ');
        out_ += Commands()[static_cast<size_t>(record.Code())].name;
        const auto fields = record.Layout().fields;
        for (size_t j = 0; j < fields.size(); ++j) {
            const FieldValue& value = record.fields[j];
            if (fields[j].kind == FieldKind::Properties) {
                for (const PropertyExpr& property : record.Properties()) {
                    if (property.expr.Empty()) continue;
                    out_ += " " + std::string(Properties()[static_cast<size_t>(property.id)].name) +
                            "=" + WriteExpression(property.expr);
                }
                continue;
            }
            // A jump to the label at index 0 still shows the label.
            const int32_t* target = std::get_if<int32_t>(&value);
            bool labelled = target != nullptr && LabelTarget(record, fields[j], *target) != nullptr;
            if (IsEmptyValue(value) && !labelled) continue;
            out_ += ' ';
            if (j > 0) out_ += std::string(fields[j].name) + "=";
            out_ += ValueText(record, fields[j], value);
        }
        if (!spaces) out_ += " .indent=" + std::to_string(record.indent);
        if (record.typeByte != static_cast<uint8_t>(record.Code())) {
            out_ += " .typebyte=" + std::to_string(record.typeByte);
        }
        WriteFlag(".disabled", record.disabled);
        WriteFlag(".continue", record.continueFlag);
        if (record.line != expectedLine) out_ += " .line=" + std::to_string(record.line);
        if (record.Code() == CommandCode::Label ||
            numbered_.contains(static_cast<int32_t>(index))) {
            out_ += "  # " + std::to_string(index);
        }
        out_ += '\n';
    }

    void WriteFlag(std::string_view name, uint8_t value) {
        if (value == 0) return;
        out_ += ' ';
        out_ += name;
        if (value != 1) out_ += "=" + std::to_string(value);
    }

    std::string ValueText(const CommandRecord& record, const FieldLayout& field,
                          const FieldValue& value) const {
        switch (field.kind) {
            case FieldKind::Int32: {
                int32_t index = std::get<int32_t>(value);
                const std::string* label = LabelTarget(record, field, index);
                return label != nullptr ? LabelReference(*label) : std::to_string(index);
            }
            case FieldKind::Byte:
                return field.name == "type" ? ValueTypeText(std::get<uint8_t>(value))
                                            : std::to_string(std::get<uint8_t>(value));
            case FieldKind::String:
                return QuoteCp932(std::get<std::string>(value));
            case FieldKind::Expr:
                return WriteExpression(std::get<TKivoParser>(value));
            case FieldKind::ExprList: {
                std::string text = "(";
                for (const TKivoParser& expr : std::get<std::vector<TKivoParser>>(value)) {
                    text += (text.size() > 1 ? ", " : "") + WriteExpression(expr);
                }
                return text + ")";
            }
            case FieldKind::Blob: {
                const auto& bytes = std::get<std::vector<uint8_t>>(value);
                return QuoteCp932(
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
            }
            case FieldKind::Properties:
                break;
        }
        return {};
    }

    const PageFile& page_;
    std::string_view self_;
    std::set<int32_t> numbered_;
    std::string out_;
};

// ---- Reading ------------------------------------------------------------------------------------

struct LabelFixup {
    size_t command;
    size_t field;
    std::string label;
    int line;
    int column;
};

class PageReader {
  public:
    explicit PageReader(const std::string& fileName) : file_(fileName) {}

    PageFile Run(std::string_view text) {
        ForEachLine(text, [&](int number, std::string_view line) { ReadLine(number, line); });
        Finish();
        return std::move(page_);
    }

  private:
    void ReadLine(int number, std::string_view line) {
        LineScanner scanner(file_, number, line);
        if (scanner.AtEnd()) return;
        size_t indentEnd = line.find_first_not_of(' ');
        if (line[indentEnd] == '\t')
            scanner.FailAtOffset(indentEnd, "indent with spaces, not tabs");
        std::string word = scanner.ReadWord("a command");
        if (word[0] >= 'a' && word[0] <= 'z') {
            if (indentEnd != 0) scanner.FailAtOffset(0, "header lines are not indented");
            ReadHeader(scanner, word);
        } else {
            if (indentEnd % kIndentWidth != 0) {
                scanner.FailAtOffset(indentEnd, "indent is not a multiple of four spaces");
            }
            ReadCommand(scanner, word, static_cast<int32_t>(indentEnd / kIndentWidth));
        }
        if (!scanner.AtEnd()) scanner.Fail("unexpected text");
    }

    void ReadHeader(LineScanner& scanner, const std::string& word) {
        size_t start = 0;
        if (word == "version") {
            if (sawCommand_ || sawVersion_) scanner.FailAtOffset(start, "version must come first");
            page_.version = scanner.ReadInt("a page version");
            sawVersion_ = true;
        } else if (word == "result") {
            page_.resultType = scanner.ReadByteValue("a result type");
        } else if (word == "mask") {
            ReadMask(scanner);
        } else if (word == "masks") {
            rawMasks_ = true;
            page_.maskCount = scanner.ReadInt("a mask count");
            page_.maskSize = scanner.ReadInt("a mask size");
            page_.maskBlock.clear();
        } else if (word == "maskbytes") {
            if (!rawMasks_) scanner.Fail("maskbytes must follow a masks line");
            std::vector<uint8_t> bytes = scanner.ReadHex();
            page_.maskBlock.insert(page_.maskBlock.end(), bytes.begin(), bytes.end());
        } else if (word == "body") {
            std::vector<uint8_t> bytes = scanner.ReadHex();
            page_.unparsedBody.insert(page_.unparsedBody.end(), bytes.begin(), bytes.end());
            sawBody_ = true;
        } else if (word == "trailer") {
            std::vector<uint8_t> bytes = scanner.ReadHex();
            page_.trailer.insert(page_.trailer.end(), bytes.begin(), bytes.end());
        } else {
            scanner.FailAtOffset(start, "unknown header \"" + word + "\"");
        }
    }

    void ReadMask(LineScanner& scanner) {
        namedMasks_ = true;
        size_t start = (scanner.SkipSpaces(), scanner.Offset());
        std::string name = scanner.ReadWord("a command name");
        if (name == "none") return;
        std::optional<CommandCode> code = CommandByName(name);
        if (!code) scanner.FailAtOffset(start, "unknown command \"" + name + "\"");
        while (!scanner.AtEnd()) {
            size_t at = scanner.Offset();
            std::string property = scanner.ReadWord("a property name");
            std::optional<PropertyId> id = PropertyByName(property);
            if (!id) scanner.FailAtOffset(at, "unknown property \"" + property + "\"");
            masks_.Set(static_cast<int>(*code), *id);
        }
    }

    void ReadCommand(LineScanner& scanner, const std::string& name, int32_t indent) {
        sawCommand_ = true;
        std::optional<CommandCode> code = CommandByName(name);
        if (!code)
            scanner.FailAtOffset(scanner.Offset() - name.size(),
                                 "unknown command \"" + name + "\"");
        CommandRecord record = CommandRecord::Make(*code, page_.version);
        record.indent = indent;
        record.line = expectedLine_;
        lines_.push_back(scanner.LineNumber());
        std::vector<bool> given(record.fields.size());
        const auto fields = record.Layout().fields;
        bool positional = true;
        while (!scanner.AtEnd()) {
            size_t start = scanner.Offset();
            if (scanner.Peek() == '.') {
                ReadHeaderField(scanner, record);
                continue;
            }
            std::string fieldName;
            if (LineScanner::IsWordChar(scanner.Peek()) && !IsValueStart(scanner.Peek())) {
                fieldName = scanner.ReadWord("a field");
                if (!scanner.Accept('='))
                    scanner.FailAtOffset(start, "expected '=' after " + fieldName);
            }
            if (fieldName.starts_with("PR_")) {
                ReadProperty(scanner, record, fieldName, start);
                continue;
            }
            int index = fieldName.empty() ? 0 : record.Layout().IndexOf(fieldName);
            if (fieldName.empty() &&
                (!positional || fields.empty() || fields[0].kind == FieldKind::Properties)) {
                scanner.FailAtOffset(start, "a value needs a field name here");
            }
            if (index < 0) scanner.FailAtOffset(start, "no field \"" + fieldName + "\" in " + name);
            auto slot = static_cast<size_t>(index);
            if (given[slot])
                scanner.FailAtOffset(
                    start, "field \"" + std::string(fields[slot].name) + "\" given twice");
            if (std::holds_alternative<std::monostate>(record.fields[slot])) {
                scanner.FailAtOffset(start, "field \"" + std::string(fields[slot].name) +
                                                "\" is not stored in version " +
                                                std::to_string(page_.version) + " pages");
            }
            given[slot] = true;
            positional = false;
            ReadValue(scanner, record, slot);
        }
        expectedLine_ = record.line + 1;
        page_.commands.push_back(std::move(record));
    }

    // Values start with one of these; anything else that is a word is a field name.
    static bool IsValueStart(char c) { return c == '-' || (c >= '0' && c <= '9'); }

    void ReadHeaderField(LineScanner& scanner, CommandRecord& record) {
        size_t start = scanner.Offset();
        std::string name = scanner.ReadWord("a header field");
        auto number = [&](int32_t fallback) {
            return scanner.Accept('=') ? scanner.ReadInt(name) : fallback;
        };
        auto byte = [&](int32_t value) {
            if (value < 0 || value > 255) scanner.FailAtOffset(start, name + " is 0 to 255");
            return static_cast<uint8_t>(value);
        };
        if (name == ".disabled") {
            record.disabled = byte(number(1));
        } else if (name == ".continue") {
            record.continueFlag = byte(number(1));
        } else if (name == ".line") {
            scanner.Expect('=');
            record.line = scanner.ReadInt("a line number");
        } else if (name == ".indent") {
            scanner.Expect('=');
            record.indent = scanner.ReadInt("an indent level");
        } else if (name == ".typebyte") {
            scanner.Expect('=');
            uint8_t value = byte(scanner.ReadInt("a type byte"));
            if ((value & 0x7F) != static_cast<uint8_t>(record.Code())) {
                scanner.FailAtOffset(start, "the type byte must name the same command");
            }
            record.typeByte = value;
        } else {
            scanner.FailAtOffset(start, "unknown header field \"" + name + "\"");
        }
    }

    void ReadProperty(LineScanner& scanner, CommandRecord& record, const std::string& name,
                      size_t start) {
        int field = record.Layout().IndexOf("properties");
        if (field < 0) scanner.FailAtOffset(start, "this command has no properties");
        std::optional<PropertyId> id = PropertyByName(name);
        if (!id) scanner.FailAtOffset(start, "unknown property \"" + name + "\"");
        auto& properties = std::get<ComponentProperties>(record.fields[static_cast<size_t>(field)]);
        for (const PropertyExpr& property : properties) {
            if (property.id == *id) scanner.FailAtOffset(start, name + " given twice");
        }
        properties.push_back({*id, ReadExpression(scanner)});
    }

    void ReadValue(LineScanner& scanner, CommandRecord& record, size_t slot) {
        FieldValue& value = record.fields[slot];
        switch (record.Layout().fields[slot].kind) {
            case FieldKind::Int32:
                if (scanner.Accept('<')) {
                    size_t at = scanner.Offset();
                    std::string label = scanner.ReadName("a label name");
                    scanner.Expect('>');
                    fixups_.push_back({page_.commands.size(), slot, label, scanner.LineNumber(),
                                       scanner.Column(at)});
                } else {
                    value = scanner.ReadInt("an integer");
                }
                return;
            case FieldKind::Byte:
                value = scanner.ReadByteValue("a byte");
                return;
            case FieldKind::String:
                value = scanner.ReadQuoted();
                return;
            case FieldKind::Expr:
                value = ReadExpression(scanner);
                return;
            case FieldKind::ExprList: {
                std::vector<TKivoParser> list;
                scanner.Expect('(');
                if (!scanner.Accept(')')) {
                    do {
                        list.push_back(ReadExpression(scanner));
                    } while (scanner.Accept(','));
                    scanner.Expect(')');
                }
                value = std::move(list);
                return;
            }
            case FieldKind::Blob: {
                std::string text = scanner.ReadQuoted();
                value = std::vector<uint8_t>(text.begin(), text.end());
                return;
            }
            case FieldKind::Properties:
                break;
        }
        scanner.Fail("properties are given by their PR_ names");
    }

    void Finish() {
        if (sawBody_ && (page_.IsParsed() || sawCommand_)) {
            FailAt(file_, 1, 1, "only pages of versions above 110 have a body");
        }
        if (!page_.IsParsed()) return;
        if (rawMasks_) {
            size_t expected =
                page_.maskCount > 0 && page_.maskSize > 0
                    ? static_cast<size_t>(page_.maskCount) * static_cast<size_t>(page_.maskSize)
                    : 0;
            if (page_.maskBlock.size() != expected) {
                FailAt(file_, 1, 1,
                       "maskbytes hold " + std::to_string(page_.maskBlock.size()) +
                           " bytes where the masks line needs " + std::to_string(expected));
            }
        } else {
            page_.SetMasks(namedMasks_ ? masks_ : UsedProperties(page_.commands));
        }
        PropertyMasks masks = page_.Masks();
        for (size_t i = 0; i < page_.commands.size(); ++i)
            CompleteProperties(i, masks);
        for (const LabelFixup& fixup : fixups_) {
            int32_t index = FirstLabel(page_.commands, fixup.label);
            if (index < 0) {
                FailAt(file_, fixup.line, fixup.column,
                       "label \"" + sjis::ToUtf8(fixup.label) + "\" not found");
            }
            page_.commands[fixup.command].fields[fixup.field] = index;
        }
    }

    // Puts the properties in mask order, adds the empty ones the text left out and rejects
    // those the mask does not have.
    void CompleteProperties(size_t index, const PropertyMasks& masks) {
        CommandRecord& record = page_.commands[index];
        int field = record.Layout().IndexOf("properties");
        if (field < 0) return;
        auto& properties = std::get<ComponentProperties>(record.fields[static_cast<size_t>(field)]);
        int type = static_cast<int>(record.Code());
        for (const PropertyExpr& property : properties) {
            if (masks.Has(type, property.id)) continue;
            FailAt(file_, lines_[index], 1,
                   std::string(Properties()[static_cast<size_t>(property.id)].name) +
                       " is not in the page's mask for " +
                       std::string(Commands()[static_cast<size_t>(type)].name));
        }
        ComponentProperties complete;
        for (PropertyId id : masks.Ids(type)) {
            auto found = std::find_if(properties.begin(), properties.end(),
                                      [&](const PropertyExpr& p) { return p.id == id; });
            complete.push_back(found != properties.end() ? std::move(*found)
                                                         : PropertyExpr{id, TKivoParser()});
        }
        properties = std::move(complete);
    }

    const std::string& file_;
    PageFile page_ = [] {
        PageFile page;
        page.commands.clear();
        return page;
    }();
    PropertyMasks masks_;
    bool namedMasks_ = false;
    bool rawMasks_ = false;
    bool sawVersion_ = false;
    bool sawCommand_ = false;
    bool sawBody_ = false;
    int32_t expectedLine_ = 1;
    std::vector<int> lines_;
    std::vector<LabelFixup> fixups_;
};

}  // namespace

std::string WritePageText(const PageFile& page, std::string_view selfName) {
    return PageWriter(page, selfName).Run();
}

PageFile ReadPageText(std::string_view text, const std::string& fileName) {
    return PageReader(fileName).Run(text);
}

}  // namespace kivo::script_text
