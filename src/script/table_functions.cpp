#include "script/table_functions.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/error.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/script_context.h"
#include "storage/db_manager.h"

namespace kivo {

namespace {

TDBManager& Tables(const FunctionCall& call) {
    const ScriptContext& context = call.Context();
    if (context.tables == nullptr) {
        const FunctionInfo* info = FindFunction(call.index);
        throw KivoError(std::string(info ? info->name : "?") + " は使用できない関数です");
    }
    return *context.tables;
}

bool Given(const FunctionCall& call, size_t index) {
    return call.arguments.size() > index;
}

const TCustomParam& Arg(const FunctionCall& call, size_t index) {
    return *call.arguments[index];
}

std::string StringArg(const FunctionCall& call, size_t index) {
    return Arg(call, index).AsString();
}

bool FlagArgOr(const FunctionCall& call, size_t index, bool absent) {
    return Given(call, index) ? Arg(call, index).AsFlag() : absent;
}

// Element i of a value, read by the value's own type.
DBValue ElementValue(const TCustomParam& value, int32_t i) {
    switch (value.Type()) {
        case PT_INT:
            return value.IntAt(i);
        case PT_FLOAT:
            return value.FloatAt(i);
        case PT_BOOL:
            return value.FlagAt(i);
        case PT_STR:
        case PT_NONE:
            break;
    }
    return value.StringAt(i);
}

// A search whose key field names (a string or string array), key values (a value or array of
// one type), ignore-case and partial flags are the arguments from first on; missing arguments
// leave the search without keys or with its flags off, so every record matches.
DBSearch SearchFrom(const FunctionCall& call, size_t first) {
    DBSearch search;
    if (Given(call, first)) {
        const TCustomParam& keys = Arg(call, first);
        for (int32_t i = 0; i < keys.ElementCount(); ++i)
            search.keys.push_back(keys.StringAt(i));
    }
    if (Given(call, first + 1)) {
        const TCustomParam& values = Arg(call, first + 1);
        for (int32_t i = 0; i < values.ElementCount(); ++i)
            search.values.push_back(ElementValue(values, i));
    }
    search.ignoreCase = FlagArgOr(call, first + 2, false);
    search.partial = FlagArgOr(call, first + 3, false);
    return search;
}

// An argument read as the type a field operation gives or wants.
DBValue ValueArg(const FunctionCall& call, size_t index, DBFieldType type) {
    const TCustomParam& value = Arg(call, index);
    switch (type) {
        case DBFieldType::Integer:
            return value.AsInteger();
        case DBFieldType::Float:
            return value.AsFloat();
        case DBFieldType::Boolean:
            return value.AsFlag();
        case DBFieldType::String:
            return value.AsString();
    }
    return value.AsString();
}

void SetResult(const FunctionCall& call, const DBValue& value) {
    std::visit(
        [&call](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, int32_t>)
                call.target.SetInteger(v);
            else if constexpr (std::is_same_v<T, Extended>)
                call.target.SetFloat(v);
            else if constexpr (std::is_same_v<T, bool>)
                call.target.SetFlag(v);
            else
                call.target.SetString(v);
        },
        value);
}

// The value of each type that stands for "nothing there".
DBValue EmptyValue(DBFieldType type) {
    switch (type) {
        case DBFieldType::Integer:
            return int32_t{0};
        case DBFieldType::Float:
            return Extended{0};
        case DBFieldType::Boolean:
            return false;
        case DBFieldType::String:
            return std::string();
    }
    return std::string();
}

// Runs fn on the active table and writes its flag; false when there is none.
template <typename Fn>
void OnActive(const FunctionCall& call, Fn&& fn) {
    TDBCustomTable* table = Tables(call).Active();
    call.target.SetFlag(table != nullptr && fn(*table));
}

// The named table, or the active one when the call has no argument.
TDBCustomTable* NamedOrActive(const FunctionCall& call) {
    TDBManager& tables = Tables(call);
    return Given(call, 0) ? tables.Find(StringArg(call, 0)) : tables.Active();
}

// ---- Tables ---------------------------------------------------------------------------------

void CreateTable(const FunctionCall& call) {
    call.target.SetFlag(Tables(call).CreateOrActivate(StringArg(call, 0), Arg(call, 1).AsFlag()) >=
                        0);
}

void SetActive(const FunctionCall& call) {
    call.target.SetFlag(Tables(call).SetActive(StringArg(call, 0)));
}

void AddField(const FunctionCall& call) {
    const int32_t length = Given(call, 2) ? Arg(call, 2).AsInteger() : 0;
    OnActive(call, [&](TDBCustomTable& table) {
        return table.AddField(StringArg(call, 0), Arg(call, 1).AsInteger(), length) >= 0;
    });
}

void DeleteTable(const FunctionCall& call) {
    TDBManager& tables = Tables(call);
    if (Given(call, 0)) {
        tables.Delete(StringArg(call, 0));
    } else if (const TDBCustomTable* active = tables.Active()) {
        tables.Delete(std::string(active->Name()));
    }
    call.target.SetFlag(false);
}

void ClearTables(const FunctionCall& call) {
    Tables(call).Clear();
}

void ClearRecords(const FunctionCall& call) {
    TDBCustomTable* table = NamedOrActive(call);
    if (table) table->ClearRecords();
    call.target.SetFlag(table != nullptr);
}

void RecordCount(const FunctionCall& call) {
    const TDBCustomTable* table = NamedOrActive(call);
    call.target.SetInteger(table ? table->RecordCount() : -1);
}

void ActiveName(const FunctionCall& call) {
    const TDBCustomTable* table = Tables(call).Active();
    call.target.SetString(table ? table->Name() : std::string());
}

void ActiveRecordNumber(const FunctionCall& call) {
    const TDBCustomTable* table = Tables(call).Active();
    call.target.SetInteger(table ? table->CurrentIndex() : -1);
}

void TableCount(const FunctionCall& call) {
    call.target.SetInteger(Tables(call).Count());
}

// DBGetTable(index, var name [, var kept]).
void TableAt(const FunctionCall& call) {
    TDBManager& tables = Tables(call);
    const int32_t index = Arg(call, 0).AsInteger();
    const bool valid = index >= 0 && index < tables.Count();
    if (valid) {
        const TDBCustomTable& table = tables.At(index);
        call.arguments[1]->SetString(table.Name());
        if (Given(call, 2)) call.arguments[2]->SetFlag(table.Keep());
    }
    call.target.SetFlag(valid);
}

// ---- Records of the active table ------------------------------------------------------------

void SetRecordNumber(const FunctionCall& call) {
    OnActive(call,
             [&](TDBCustomTable& table) { return table.SetCurrent(Arg(call, 0).AsInteger()); });
}

// DBInsert(values ...): a new current record, argument i written to field i by its own type.
void InsertRecord(const FunctionCall& call) {
    OnActive(call, [&](TDBCustomTable& table) {
        if (!table.AddRecord()) return false;
        for (size_t i = 0; i < call.arguments.size(); ++i) {
            (void)table.SetAt(table.CurrentIndex(), static_cast<int32_t>(i),
                              ElementValue(*call.arguments[i], 0));
        }
        return true;
    });
}

void DeleteRecord(const FunctionCall& call) {
    OnActive(call, [](TDBCustomTable& table) { return table.DeleteCurrent(); });
}

template <bool (TDBCustomTable::*Move)()>
void MoveCurrent(const FunctionCall& call) {
    OnActive(call, [](TDBCustomTable& table) { return (table.*Move)(); });
}

// DBGetInt ... DBGetStr(fieldName) on the current record.
template <DBFieldType Type>
void GetField(const FunctionCall& call) {
    const TDBCustomTable* table = Tables(call).Active();
    std::optional<DBValue> value;
    if (table) value = table->Get(StringArg(call, 0), Type);
    SetResult(call, value ? *value : EmptyValue(Type));
}

// DBSetInt ... DBSetStr(fieldName, value) on the current record.
template <DBFieldType Type>
void SetField(const FunctionCall& call) {
    OnActive(call, [&](TDBCustomTable& table) {
        return table.Set(StringArg(call, 0), ValueArg(call, 1, Type));
    });
}

// DBLocate(key field, key value [, ignoreCase [, partial]]): the first match becomes current.
void Locate(const FunctionCall& call) {
    OnActive(call, [&](TDBCustomTable& table) {
        const std::vector<int32_t> found = table.Search(SearchFrom(call, 0));
        return !found.empty() && table.SetCurrent(found.front());
    });
}

// DBSort(key field, descending): field names and flags, a value or an array each.
void Sort(const FunctionCall& call) {
    OnActive(call, [&](TDBCustomTable& table) {
        const TCustomParam& fields = Arg(call, 0);
        const TCustomParam& descending = Arg(call, 1);
        const int32_t count = std::min(fields.ElementCount(), descending.ElementCount());
        std::vector<DBSortKey> keys;
        for (int32_t i = 0; i < count; ++i)
            keys.push_back({fields.StringAt(i), descending.FlagAt(i)});
        table.Sort(keys);
        return true;
    });
}

// DBLoadTsvFile(fileName): an available, non-empty file replaces the active table's fields
// and records. A header the table cannot take leaves it empty and answers false.
void LoadTsvFile(const FunctionCall& call) {
    const std::string name = StringArg(call, 0);
    InterpreterPort* files = call.Context().interpreter;
    OnActive(call, [&](TDBCustomTable& table) {
        if (files == nullptr || !files->FileAvailable(name)) return false;
        const std::vector<uint8_t> bytes = files->LoadFile(name);
        if (bytes.empty()) return false;
        try {
            table.LoadTsv(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), name);
        } catch (const KivoError&) {
            return false;
        }
        return true;
    });
}

// ---- Direct access and copies ---------------------------------------------------------------

// DBDirectGet...(table, key, value, ignoreCase, partial, fieldName, default).
template <DBFieldType Type>
void DirectGet(const FunctionCall& call) {
    const std::optional<DBValue> value =
        Tables(call).DirectGet(StringArg(call, 0), SearchFrom(call, 1), StringArg(call, 5), Type);
    SetResult(call, value ? *value : ValueArg(call, 6, Type));
}

// DBDirectSet...(table, key, value, ignoreCase, partial, fieldName, value).
template <DBFieldType Type>
void DirectSet(const FunctionCall& call) {
    call.target.SetFlag(Tables(call).DirectSet(StringArg(call, 0), SearchFrom(call, 1),
                                               StringArg(call, 5), ValueArg(call, 6, Type)));
}

// DBCopyTable(target [, key [, value [, ignoreCase [, partial]]]]): the active table's records
// found, into the emptied target.
void CopyTable(const FunctionCall& call) {
    TDBManager& tables = Tables(call);
    const TDBCustomTable* active = tables.Active();
    call.target.SetFlag(
        active != nullptr &&
        tables.CopyRecordsTo(StringArg(call, 0), active->Search(SearchFrom(call, 1))));
}

// DBInsertTable(source [, key [, value [, ignoreCase [, partial]]]]): the source's records
// found, appended to the active table.
void InsertTable(const FunctionCall& call) {
    TDBManager& tables = Tables(call);
    const std::string source = StringArg(call, 0);
    const TDBCustomTable* table = tables.Find(source);
    call.target.SetFlag(table != nullptr &&
                        tables.InsertRecordsFrom(source, table->Search(SearchFrom(call, 1))));
}

void CopyRecord(const FunctionCall& call) {
    call.target.SetFlag(Tables(call).CopyCurrentRecordTo(StringArg(call, 0)));
}

void Register(SystemFunctionRegistry& registry, std::string_view name,
              SystemFunctionRegistry::Function function) {
    registry.Register(*FunctionIndex(name), std::move(function));
}

}  // namespace

void RegisterTableFunctions(SystemFunctionRegistry& registry) {
    using enum DBFieldType;
    Register(registry, "DBCreateTable", CreateTable);
    Register(registry, "DBSetActive", SetActive);
    Register(registry, "DBAddField", AddField);
    Register(registry, "DBSetRecNo", SetRecordNumber);
    Register(registry, "DBInsert", InsertRecord);
    Register(registry, "DBDelete", DeleteRecord);
    Register(registry, "DBGetInt", GetField<Integer>);
    Register(registry, "DBSetInt", SetField<Integer>);
    Register(registry, "DBGetFloat", GetField<Float>);
    Register(registry, "DBSetFloat", SetField<Float>);
    Register(registry, "DBGetBool", GetField<Boolean>);
    Register(registry, "DBSetBool", SetField<Boolean>);
    Register(registry, "DBGetStr", GetField<String>);
    Register(registry, "DBSetStr", SetField<String>);
    Register(registry, "DBRecordCount", RecordCount);
    Register(registry, "DBFindFirst", MoveCurrent<&TDBCustomTable::First>);
    Register(registry, "DBFindLast", MoveCurrent<&TDBCustomTable::Last>);
    Register(registry, "DBFindNext", MoveCurrent<&TDBCustomTable::Next>);
    Register(registry, "DBFindPrior", MoveCurrent<&TDBCustomTable::Prior>);
    Register(registry, "DBLocate", Locate);
    Register(registry, "DBLoadTsvFile", LoadTsvFile);
    Register(registry, "DBDirectGetInt", DirectGet<Integer>);
    Register(registry, "DBDirectSetInt", DirectSet<Integer>);
    Register(registry, "DBDirectGetFloat", DirectGet<Float>);
    Register(registry, "DBDirectSetFloat", DirectSet<Float>);
    Register(registry, "DBDirectGetBool", DirectGet<Boolean>);
    Register(registry, "DBDirectSetBool", DirectSet<Boolean>);
    Register(registry, "DBDirectGetStr", DirectGet<String>);
    Register(registry, "DBDirectSetStr", DirectSet<String>);
    Register(registry, "DBCopyTable", CopyTable);
    Register(registry, "DBDeleteTable", DeleteTable);
    Register(registry, "DBInsertTable", InsertTable);
    Register(registry, "DBCopy", CopyRecord);
    Register(registry, "DBClearTable", ClearTables);
    Register(registry, "DBSort", Sort);
    Register(registry, "DBGetActive", ActiveName);
    Register(registry, "DBGetRecNo", ActiveRecordNumber);
    Register(registry, "DBClearRecord", ClearRecords);
    Register(registry, "DBGetTableCount", TableCount);
    Register(registry, "DBGetTable", TableAt);
}

}  // namespace kivo
