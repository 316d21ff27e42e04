// The typed accessor exports: each row of the public accessor list becomes a
// function that forwards to the generic accessor of its type.
#include "ZOR.h"
#include "zor_accessor_params.h"

#define ZOR_SELECTOR_ARG_sel repCapIdentifier
#define ZOR_SELECTOR_ARG_none nullptr
#define ZOR_VALUE_ARGS_Get_ViString bufferSize, value
#define ZOR_VALUE_ARGS_Get_ViInt32 value
#define ZOR_VALUE_ARGS_Get_ViReal64 value
#define ZOR_VALUE_ARGS_Get_ViBoolean value
#define ZOR_VALUE_ARGS_Get_ViSession value
#define ZOR_VALUE_ARGS_Set_ViString value
#define ZOR_VALUE_ARGS_Set_ViInt32 value
#define ZOR_VALUE_ARGS_Set_ViReal64 value
#define ZOR_VALUE_ARGS_Set_ViBoolean value
#define ZOR_VALUE_ARGS_Set_ViSession value

extern "C" {

#define ZOR_ACCESSOR(name, direction, type, attribute, selector)                                         \
    ZOR_API ViStatus ZOR_CALL name ZOR_ACCESSOR_PARAMS(direction, type, selector) {                      \
        return ZOR_##direction##Attribute##type(vi, ZOR_SELECTOR_ARG_##selector, ZOR_ATTR_##attribute, \
                                                ZOR_VALUE_ARGS_##direction##_##type);                    \
    }
#include "zor_accessors.def"
#undef ZOR_ACCESSOR

}  // extern "C"
