/* The parameter list each row of zor_accessors.def gets, for the X-macro
 * expansions of that table (ZOR.h in the source tree, the driver's
 * definitions). The installed ZOR.h spells every prototype out instead. */
#ifndef ZOR_ACCESSOR_PARAMS_H
#define ZOR_ACCESSOR_PARAMS_H

#define ZOR_SELECTOR_PARAM_sel , ViConstString repCapIdentifier
#define ZOR_SELECTOR_PARAM_none
#define ZOR_VALUE_PARAMS_Get_ViInt32 ViInt32* value
#define ZOR_VALUE_PARAMS_Get_ViReal64 ViReal64* value
#define ZOR_VALUE_PARAMS_Get_ViBoolean ViBoolean* value
#define ZOR_VALUE_PARAMS_Get_ViSession ViSession* value
#define ZOR_VALUE_PARAMS_Get_ViString ViInt32 bufferSize, ViChar value[]
#define ZOR_VALUE_PARAMS_Set_ViInt32 ViInt32 value
#define ZOR_VALUE_PARAMS_Set_ViReal64 ViReal64 value
#define ZOR_VALUE_PARAMS_Set_ViBoolean ViBoolean value
#define ZOR_VALUE_PARAMS_Set_ViSession ViSession value
#define ZOR_VALUE_PARAMS_Set_ViString ViConstString value
#define ZOR_ACCESSOR_PARAMS(direction, type, selector) \
    (ViSession vi ZOR_SELECTOR_PARAM_##selector, ZOR_VALUE_PARAMS_##direction##_##type)

#endif /* ZOR_ACCESSOR_PARAMS_H */
