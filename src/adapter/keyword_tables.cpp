#include "adapter/keyword_tables.h"

#include <vector>

namespace zor_adapter {

namespace {

struct keyword_row_t {
    const keyword_map_t* table;
    std::int32_t value;
    const char* keyword;
};

struct state_row_t {
    const state_map_t* table;
    std::int32_t value;
    bool state;
};

// Every table comes from the rows of the public keyword list, so the values
// callers see in ZOR.h and the ones translated here cannot drift apart.
template <typename Map>
Map rows_of(const Map* table);

template <>
keyword_map_t rows_of(const keyword_map_t* table) {
    static const keyword_row_t rows[] = {
#define ZOR_KEYWORD(map, constant, value, keyword) {&map, value, keyword},
#define ZOR_STATE(map, constant, value, state)
#include "zor_keywords.def"
#undef ZOR_KEYWORD
#undef ZOR_STATE
    };
    keyword_map_t result;
    for (const auto& row : rows)
        if (row.table == table) result.insert({row.value, row.keyword});
    return result;
}

template <>
state_map_t rows_of(const state_map_t* table) {
    static const state_row_t rows[] = {
#define ZOR_KEYWORD(map, constant, value, keyword)
#define ZOR_STATE(map, constant, value, state) {&map, value, state != 0},
#include "zor_keywords.def"
#undef ZOR_KEYWORD
#undef ZOR_STATE
    };
    state_map_t result;
    for (const auto& row : rows)
        if (row.table == table) result.insert({row.value, row.state});
    return result;
}

}  // namespace

#define ZOR_KEYWORD_TABLE_DEF(table) const keyword_map_t table = rows_of(&table);
ZOR_KEYWORD_TABLES(ZOR_KEYWORD_TABLE_DEF)
#undef ZOR_KEYWORD_TABLE_DEF

const state_map_t window_size_states = rows_of(&window_size_states);

}  // namespace zor_adapter
