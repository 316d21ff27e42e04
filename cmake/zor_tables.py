#!/usr/bin/env python3
"""Reads the driver's declaration tables (include/*.def) and writes what is
made from them for people and other languages:

  zor_tables.py header <include-dir> <out>   the readable ZOR.h: include/ZOR.h
                                             with every table expanded into
                                             literal, commented declarations
  zor_tables.py python <include-dir> <out>   the Python package's table module
  zor_tables.py names <include-dir>          every export name, one a line

The tables stay the one source; nothing here adds an export or a value."""

import re
import sys
from pathlib import Path

AREAS = [  # function table, heading, what the area is for
    ("utility", "Utility", "Reset, self-test, error and revision queries, error records, locks, raw I/O."),
    ("stimulus", "Channel stimulus", "Sweeps, averaging and the channel list."),
    ("display", "Display windows and traces", "Windows, traces in them, autoscale."),
    ("measurement", "Measurements and trace data", "Trace data, memory, statistics, equations."),
    ("marker", "Markers and marker search", "Markers, their values, searches, bandwidth and notch."),
    ("limit", "Limit, ripple-limit and bandwidth-limit tests", "Segment tables, pass/fail, reports."),
    ("time_domain", "Time domain", "The time-domain transform."),
    ("correction", "Correction and calibration kits", "Error correction and the kit catalog."),
    ("memory", "Mass memory", "Files and folders of the analyzer."),
    ("system", "System and status", "Preset, capabilities, status registers."),
]

# The area of a typed accessor: the first rule whose prefix starts its name
# (after Get/Set) names it; the exceptions are attributes whose name begins
# with another area's word.
ACCESSOR_AREA_RULES = [
    ("MeasurementMarker", "marker"), ("MeasurementLimit", "limit"), ("MeasurementRipple", "limit"),
    ("MeasurementBwLimit", "limit"), ("MeasurementTimeDomain", "time_domain"), ("ChannelCorrection", "correction"),
    ("SourcePortPowerCorrection", "correction"), ("Display", "display"), ("MeasurementTraceDisplay", "display"),
    ("MeasurementTraceTitle", "display"), ("MeasurementTraceY", "display"),
    ("Measurement", "measurement"), ("System", "system"), ("Status", "system"), ("Channel", "stimulus"),
    ("Standard", "stimulus"), ("Trigger", "stimulus"),
]
ACCESSOR_AREA_EXCEPTIONS = {
    "DisplayWindowTraceMemoryTraceEnabled": "measurement", "MeasurementCorrectionEnabled": "correction",
    "SystemPowerEnabled": "stimulus", "ChannelTraceCouplingEnabled": "time_domain",
}


def accessor_area(name):
    stem = re.sub(r"^ZOR_(Get|Set)?", "", name)
    if stem in ACCESSOR_AREA_EXCEPTIONS:
        return ACCESSOR_AREA_EXCEPTIONS[stem]
    for prefix, area in ACCESSOR_AREA_RULES:
        if stem.startswith(prefix):
            return area
    raise SystemExit(f"zor_tables.py: no area for the accessor {name}")


ROW = re.compile(r"^(ZOR_\w+)\((.*)\)\s*(?:/\*\s*(.*?)\s*\*/)?\s*$")


def rows(path, macro):
    """Rows of one table: (arguments text, trailing comment)."""
    out = []
    for line in Path(path).read_text().splitlines():
        m = ROW.match(line.strip())
        if m and m.group(1) == macro:
            out.append((m.group(2), m.group(3) or ""))
    return out


def split_top(text):
    """Splits at commas outside parentheses and quotes."""
    parts, depth, quoted, cur = [], 0, False, ""
    for c in text:
        if c == '"':
            quoted = not quoted
        if not quoted and c == "(":
            depth += 1
        if not quoted and c == ")":
            depth -= 1
        if c == "," and depth == 0 and not quoted:
            parts.append(cur.strip())
            cur = ""
        else:
            cur += c
    parts.append(cur.strip())
    return parts


def attributes(inc):
    return [dict(name=a[0], id=int(a[1]), model=a[2], doc=d)
            for a, d in ((split_top(r), d) for r, d in rows(inc / "zor_attributes.def", "ZOR_ATTRIBUTE"))]


def status_codes(inc):
    return [dict(name=a[0], cxx_name=a[1], value=int(a[2], 16), text=a[3].strip('"'))
            for a in (split_top(r) for r, _ in rows(inc / "zor_status.def", "ZOR_STATUS"))]


def accessors(inc):
    out = []
    for r, d in rows(inc / "zor_accessors.def", "ZOR_ACCESSOR"):
        name, direction, vtype, attr, sel = split_top(r)
        out.append(dict(name=name, direction=direction, type=vtype, attribute=attr, selector=sel == "sel", doc=d))
    return out


def keywords(inc):
    out = []
    text = (inc / "zor_keywords.def").read_text()
    for line in text.splitlines():
        m = ROW.match(line.strip())
        if m and m.group(1) in ("ZOR_KEYWORD", "ZOR_STATE"):
            table, const, value, word = split_top(m.group(2))
            out.append(dict(table=table, name=const, value=int(value), keyword=word.strip('"'), doc=m.group(3) or ""))
    return out


def functions(inc, area):
    out = []
    for r, d in rows(inc / f"zor_functions_{area}.def", "ZOR_FUNCTION"):
        name, params = r.split(",", 1)
        params = params.strip()
        assert params.startswith("(") and params.endswith(")"), name
        out.append(dict(name=name.strip(), params=[p for p in split_top(params[1:-1]) if p], doc=d))
    return out


# ------------------------------------------------------------ parameter text
# What each parameter means, by name; a "Function.name" key overrides for one
# export. Units, buffer sizes and ownership are stated here once.
PARAM = {
    "vi": "session handle from ZOR_init() or ZOR_InitWithOptions()",
    "repCapIdentifier": "selector of channels, traces, windows, markers or ports, e.g. \"Channel2\", "
                        "\"Channel1:Trace1-Trace3\", \"Trace1:Marker2\"; null or \"\" means the active ones",
    "measurementName": "trace selector, e.g. \"Trace1\" or \"Channel1:Trace2\"; each named trace is addressed in turn",
    "windowName": "window selector, e.g. \"Window2\"",
    "traceName": "trace selector, e.g. \"Trace1,Trace3\"",
    "channelName": "channel selector, e.g. \"Channel1\"",
    "bufferSize": "size of the caller's buffer in bytes, terminating NUL included; the text is cut to fit "
                  "(status ZOR_ERROR_TEXT_CUT) and 0 returns the size needed",
    "buffer": "caller's buffer of bufferSize bytes; receives the NUL-terminated text",
    "catalog": "caller's buffer of bufferSize bytes; receives the comma-separated list",
    "value": "the value (see the attribute for its unit)",
    "count": "number of elements",
    "capacity": "number of elements each of the caller's arrays holds; nothing is written beyond it",
    "kind": "ZOR_VAL_BANDWIDTH_NOTCH_BANDWIDTH or ZOR_VAL_BANDWIDTH_NOTCH_NOTCH",
    "file": "file name on the analyzer, as the analyzer's file system spells it",
    "directory": "folder on the analyzer",
    "name": "name",
    "types": "segment types, one per segment: ZOR_LIMIT_SEGMENT_* (limit) or ZOR_RIPPLE_SEGMENT_* (ripple)",
    "startStimulus": "segment start stimulus, one per segment (Hz, or the sweep's x unit)",
    "stopStimulus": "segment stop stimulus, one per segment (Hz, or the sweep's x unit)",
    "startResponse": "limit at the segment start, one per segment (the trace's y unit, e.g. dB)",
    "stopResponse": "limit at the segment stop, one per segment (the trace's y unit, e.g. dB)",
    "maximumRipple": "largest ripple allowed, one per segment (dB)",
    "reserved": "not read; pass 0",
    "windowNumber": "window number, 1 upward",
    "userRange": "not read; pass 0",
    "marker": "marker number, 1 upward",
    "fileType": "ZOR_VAL_FILE_TYPE_STATE, ZOR_VAL_FILE_TYPE_CORRECTION or ZOR_VAL_FILE_TYPE_STATE_AND_CORRECTION",
    "result": "receives the instrument's FAIL? flag: VI_TRUE when the test failed",
    "returnCount": "receives the number of bytes transferred",
    "real": "receives the first part of the value (the formatted value, or the real part)",
    "imaginary": "receives the second part of the value (0 or the imaginary part in formats with two numbers)",
    "data": "trace data: dataBufferSize ViReal64 values, two per point (first and second value of the point)",
    "dataType": "ZOR_DATA_TYPE_FORMATTED (as displayed) or ZOR_DATA_TYPE_CORRECTED (complex, real and imaginary)",
    "dataBufferSize": "number of ViReal64 elements of data: even, at least 4 (two per point)",
    "type": "type",
    "results": "receives the per-point results: ZOR_TEST_RESULT_*",
    "function": "search function",
    "source": "computer file to send, or the data themselves",
    "instrumentFile": "file name on the analyzer",
    "valid": "receives VI_TRUE when the equation is valid",
    "enabled": "VI_TRUE for on, VI_FALSE for off",
    "callerHasLock": "in/out flag for nested locking: pass the same variable to the matching unlock; may be null",
    "maxTimeMilliseconds": "longest wait, ms",
    "errorCode": "receives the error code",
    "statusCode": "status code to describe",
    "threshold": "level below the reference, dB",
    "start": "start stimulus (Hz, or the sweep's x unit)",
    "stop": "stop stimulus (Hz, or the sweep's x unit)",
    "first": "receives the first value",
    "second": "receives the second value",
    "third": "receives the third value",
    "fourth": "receives the fourth value",
    "xValues": "receives the stimulus of each failing point (capacity elements)",
    "upperLimits": "receives the upper limit of each point (capacity elements; 0 where none)",
    "lowerLimits": "receives the lower limit of each point (capacity elements; 0 where none)",
    "stimulus": "receives the stimulus of each point (capacity elements)",
    "ripple": "receives the ripple measured in each band, dB (capacity elements)",
    "valueCount": "receives the number of ViReal64 values the analyzer sent (may exceed dataBufferSize: "
                  "only dataBufferSize are stored)",
    "traceNumber": "trace number, 1 upward",
    "trace": "receives the trace number",
    "reference": "ZOR_VAL_BANDWIDTH_REFERENCE_PEAK or ZOR_VAL_BANDWIDTH_REFERENCE_MARKER",
    "number": "kit number in the catalog, 1 upward",
    "channel": "receives the channel number",
    "setting": "ZOR_VAL_MARKER_SETTING_*: the setting taken from the marker",
    "testResult": "receives the self-test result: 0 passed",
    "oldName": "present file name on the analyzer",
    "newName": "new file name on the analyzer",
    "destination": "file name of the copy on the analyzer",
    "destinationPath": "computer file to write",
    "testMessage": "caller's buffer of ZOR_MESSAGE_BUFFER_SIZE (256) bytes; receives the self-test message",
    "record": "caller's buffer of bufferSize bytes; receives the coercion record text",
    "message": "caller's buffer of ZOR_MESSAGE_BUFFER_SIZE (256) bytes; receives the description",
    "instrumentRevision": "caller's buffer of ZOR_MESSAGE_BUFFER_SIZE (256) bytes; receives the firmware revision",
    "driverRevision": "caller's buffer of ZOR_MESSAGE_BUFFER_SIZE (256) bytes; receives the driver revision",
    "errorMessage": "caller's buffer of ZOR_MESSAGE_BUFFER_SIZE (256) bytes; receives the error text",
    "description": "caller's buffer of bufferSize bytes; receives the error text",
    "present": "receives VI_TRUE when the window is shown",
    "create": "VI_TRUE shows the window, VI_FALSE closes it",
    # one export at a time
    "ZOR_MeasurementQueryData.dataBufferSize": "number of ViReal64 elements data holds: whole points only are "
                                               "stored; 0 asks only for valueCount",
    "ZOR_MeasurementQueryData.data": "caller's array of dataBufferSize ViReal64; receives two values per point",
    "ZOR_MeasurementQueryData.valueCount": "receives the number of ViReal64 values the analyzer sent, two per "
                                           "point (may exceed dataBufferSize); may be null",
    "ZOR_MeasurementQueryData.dataType": "ZOR_DATA_TYPE_FORMATTED (as displayed) or ZOR_DATA_TYPE_CORRECTED "
                                         "(complex, real and imaginary); any other value reads nothing",
    "ZOR_viRead.count": "size of buffer in bytes",
    "ZOR_viRead.buffer": "caller's buffer of count bytes; receives the reply (not NUL-terminated)",
    "ZOR_viWrite.count": "most bytes to write",
    "ZOR_viWrite.buffer": "bytes to write; writing stops at the first NUL",
    "ZOR_MeasurementLimitSetData.count": "number of segments; each array holds at least count elements",
    "ZOR_MeasurementRippleLimitSetData.count": "number of segments; each array holds at least count elements",
    "ZOR_MeasurementLimitQueryData.count": "receives the number of segments the analyzer holds (may exceed capacity)",
    "ZOR_MeasurementRippleLimitQueryData.count": "receives the number of bands the analyzer holds "
                                                 "(may exceed capacity)",
    "ZOR_MeasurementLimitQueryXValuesOfFailedPoints.count": "receives the number of failing points "
                                                            "(untouched when none fail)",
    "ZOR_MeasurementLimitQueryTestResult.count": "receives the number of points reported (may exceed capacity)",
    "ZOR_MeasurementLimitQueryTestResult.results": "receives ZOR_TEST_RESULT_* per point",
    "ZOR_MeasurementRippleLimitQueryTestResult.count": "receives the number of bands reported (may exceed capacity)",
    "ZOR_MeasurementRippleLimitQueryTestResult.results": "receives ZOR_TEST_RESULT_* per band",
    "ZOR_MeasurementRippleLimitQueryTestResult.maximumRipple": "receives the largest ripple allowed in each band, dB",
    "ZOR_MeasurementLimitQueryData.startStimulus": "receives the segment start stimulus (capacity elements)",
    "ZOR_MeasurementLimitQueryData.stopStimulus": "receives the segment stop stimulus (capacity elements)",
    "ZOR_MeasurementLimitQueryData.startResponse": "receives the limit at the segment start (capacity elements)",
    "ZOR_MeasurementLimitQueryData.stopResponse": "receives the limit at the segment stop (capacity elements)",
    "ZOR_MeasurementLimitQueryData.types": "receives ZOR_LIMIT_SEGMENT_* per segment (capacity elements)",
    "ZOR_MeasurementRippleLimitQueryData.types": "receives ZOR_RIPPLE_SEGMENT_* per band (capacity elements)",
    "ZOR_MeasurementRippleLimitQueryData.startStimulus": "receives the band start stimulus (capacity elements)",
    "ZOR_MeasurementRippleLimitQueryData.stopStimulus": "receives the band stop stimulus (capacity elements)",
    "ZOR_MeasurementRippleLimitQueryData.maximumRipple": "receives the largest ripple allowed, dB "
                                                         "(capacity elements)",
    "ZOR_MeasurementMarkerSearchBWandNotchQueryResult.first": "receives ZOR_BANDWIDTH_RESULT_WIDTH: the width, Hz",
    "ZOR_MeasurementMarkerSearchBWandNotchQueryResult.second": "receives ZOR_BANDWIDTH_RESULT_CENTER: "
                                                               "the centre, Hz",
    "ZOR_MeasurementMarkerSearchBWandNotchQueryResult.third": "receives ZOR_BANDWIDTH_RESULT_Q: the quality factor",
    "ZOR_MeasurementMarkerSearchBWandNotchQueryResult.fourth": "receives ZOR_BANDWIDTH_RESULT_LOSS: the loss at "
                                                              "the reference (bandwidth) or the bottom (notch), dB",
    "ZOR_MeasurementMarkerSearchExecute.function": "ZOR_VAL_MARKER_SEARCH_*; ZOR_VAL_MARKER_SEARCH_OFF ends tracking",
    "ZOR_MeasurementMarkerSearchMultiSearchExecute.function": "ZOR_VAL_MULTI_SEARCH_*; ZOR_VAL_MULTI_SEARCH_OFF "
                                                              "ends tracking",
    "ZOR_MeasurementMarkerSetType.type": "ZOR_VAL_MARKER_TYPE_*",
    "ZOR_MeasurementMarkerQueryType.type": "receives ZOR_VAL_MARKER_TYPE_*",
    "ZOR_MeasurementTraceStatisticsSetType.type": "ZOR_VAL_STATISTICS_TYPE_*",
    "ZOR_MeasurementTraceStatisticsQueryType.type": "receives ZOR_VAL_STATISTICS_TYPE_*",
    "ZOR_MeasurementMarkerSearchBWandNotchGetReference.reference": "receives ZOR_VAL_BANDWIDTH_REFERENCE_*",
    "ZOR_MeasurementTraceStatisticsGetData.value": "receives the statistic chosen by the statistics type",
    "ZOR_ChannelCalKitExport.first": "kit name",
    "ZOR_ChannelCalKitExport.second": "file name on the analyzer",
    "ZOR_ChannelCorrectionCalKitSelectByNo.number": "kit number in the catalog, 1 upward",
    "ZOR_MeasurementMarkerGetEnabled.marker": "marker number, 1 upward",
    "ZOR_GetError.errorCode": "receives the primary error code (0 when none)",
    "ZOR_error_query.errorCode": "receives the analyzer's error number (0 when the queue is empty)",
    "ZOR_GetError.vi": "session handle, or VI_NULL for this thread's record (what a failed open left)",
    "ZOR_error_message.vi": "session handle, or VI_NULL",
    "ZOR_GetNextCoercionRecord.bufferSize": "size of record in bytes, terminating NUL included",
    "ZOR_GetError.bufferSize": "size of description in bytes, terminating NUL included; "
                               "0 returns the size needed",
}

OUT_WORDS = {"ViReal64*": "receives the value", "ViInt32*": "receives the value", "ViBoolean*": "receives the value",
             "ViInt16*": "receives the value"}


def param_parts(p):
    m = re.match(r"(.*?)(\w+)(\[\])?$", p.strip())
    ptype = m.group(1).replace(" ", "") + ("[]" if m.group(3) else "")
    return ptype, m.group(2)


def describe(function, p):
    ptype, name = param_parts(p)
    text = PARAM.get(f"{function}.{name}") or PARAM.get(name)
    if text is None:
        text = OUT_WORDS.get(ptype, name)
    if ptype.endswith("*") and not text.startswith("receives") and name not in ("callerHasLock",):
        text = "receives the " + text
    return name, text


def statuses(params, text_out):
    """The statuses a call can return, from the shape of its parameters."""
    names = [param_parts(p) for p in params]
    out = ["VI_SUCCESS (0) on success", "ZOR_ERROR_INVALID_SESSION for an unknown handle"]
    if any(t.endswith("*") or t.endswith("[]") or t == "ViConstString" for t, _ in names):
        out.append("ZOR_ERROR_NULL_POINTER for a null pointer argument")
    if any(n in ("repCapIdentifier", "measurementName", "windowName", "traceName", "channelName") for _, n in names):
        out.append("ZOR_ERROR_REP_CAP_NOT_FOUND when the selector names no capability (\"Chanel2\"), "
                   "ZOR_ERROR_BADLY_FORMED_SELECTOR when it is malformed")
    if any(n in ("kind", "fileType", "function", "setting", "reference") for _, n in names) or \
            any(n == "type" and t == "ViInt32" for t, n in names):
        out.append("ZOR_ERROR_KEYWORD for a value outside its ZOR_VAL_* list")
    if text_out:
        out.append("ZOR_ERROR_TEXT_CUT when the text did not fit")
    out.append("a VISA status (e.g. VI_ERROR_TMO) when the I/O fails")
    return out


def doc_block(brief, function, params, extra=""):
    lines = ["/**", f" * {brief}"]
    if extra:
        lines.append(f" * {extra}")
    for p in params:
        name, text = describe(function, p)
        lines.append(f" * @param {name} {text}")
    text_out = any(param_parts(p)[1] == "bufferSize" for p in params)
    lines.append(" * @return " + "; ".join(statuses(params, text_out)) + ".")
    lines.append(" */")
    return lines


def sentence(text):
    text = text.strip() or "See the area overview."
    return text[0].upper() + text[1:] + ("" if text.endswith(".") else ".")


VALUE_PARAMS = {
    "Get": {"ViInt32": ["ViInt32* value"], "ViReal64": ["ViReal64* value"], "ViBoolean": ["ViBoolean* value"],
            "ViSession": ["ViSession* value"], "ViString": ["ViInt32 bufferSize", "ViChar value[]"]},
    "Set": {"ViInt32": ["ViInt32 value"], "ViReal64": ["ViReal64 value"], "ViBoolean": ["ViBoolean value"],
            "ViSession": ["ViSession value"], "ViString": ["ViConstString value"]},
}


def accessor_params(a):
    params = ["ViSession vi"] + (["ViConstString repCapIdentifier"] if a["selector"] else [])
    return params + VALUE_PARAMS[a["direction"]][a["type"]]


def prototype(name, params):
    return [f"ZOR_API ViStatus ZOR_CALL {name}({', '.join(params)});"]


def accessor_lines(a):
    verb = "Reads" if a["direction"] == "Get" else "Sets"
    brief = f"{verb} the attribute ZOR_ATTR_{a['attribute']}: {a['doc'] or a['attribute'].lower()}."
    params = accessor_params(a)
    lines = ["/**", f" * {brief}"]
    for p in params:
        _, name = param_parts(p)
        if name == "value":
            text = ("caller's buffer of bufferSize bytes; receives the NUL-terminated text" if p.endswith("[]")
                    else ("receives the value" if a["direction"] == "Get" else "the new value"))
        else:
            text = describe(a["name"], p)[1]
        lines.append(f" * @param {name} {text}")
    lines.append(" * @return " + "; ".join(statuses(params, a["type"] == "ViString" and a["direction"] == "Get")
                                          + ["ZOR_ERROR_NOT_SUPPORTED when the analyzer setting refuses the value"])
                 + ".")
    lines.append(" */")
    return lines + prototype(a["name"], params)


def area_of(def_name):
    m = re.match(r'zor_functions_(\w+)\.def', def_name)
    return m.group(1) if m else None


# Groups of the hand-written header: the line that starts each, and the
# group (None: the end of the last one).
HAND_GROUPS = {
    "/* Status codes": ("statuses", "Statuses and constants", "The driver's statuses and named values."),
    "/* ---- Sessions": ("sessions", "Sessions", "Open, identify and close a session."),
    "/** Attribute IDs": ("ids", "Attribute IDs and values", "The ZOR_ATTR_* IDs and the ZOR_VAL_* values."),
    "/* ---- Generic attribute accessors": ("generic", "Generic attribute accessors",
                                           "Any attribute by its ZOR_ATTR_* ID."),
    "/* Typed accessors": None,
}


def group_open(name, title, text):
    """A reference group (one page of the HTML) holding what follows."""
    return [f"/** @defgroup {name} {title}", f" * {text}", " * @{ */"]


def make_header(inc):
    attrs, accs, kws = attributes(inc), accessors(inc), keywords(inc)
    out = []
    skipping_continuation = False
    in_group = False
    for line in (inc / "ZOR.h").read_text().splitlines():
        stripped = line.strip()
        if skipping_continuation:
            skipping_continuation = stripped.endswith("\\")
            continue
        if re.match(r"#define ZOR_(ATTRIBUTE|KEYWORD|STATE|ACCESSOR|FUNCTION|SELECTOR_PARAM_|VALUE_PARAMS_|"
                    r"ACCESSOR_PARAMS|STATUS)", stripped) or re.match(r"#undef ZOR_(ATTRIBUTE|KEYWORD|STATE|ACCESSOR|"
                                                                      r"FUNCTION|STATUS)\b", stripped):
            skipping_continuation = stripped.endswith("\\")
            continue
        if stripped == '#include "zor_accessor_params.h"':
            continue
        # Reference groups around the hand-written parts, each up to the next.
        for start, group in HAND_GROUPS.items():
            if stripped.startswith(start):
                out += ["/** @} */", ""] if in_group else []
                out += group_open(*group) if group else []
                in_group = group is not None
        if stripped.startswith("/* Typed accessors"):
            continue
        m = re.match(r'#include "(zor_\w+\.def)"', stripped)
        if not m:
            # Trailing comments of the constants become the reference's text.
            line = re.sub(r"^(#define ZOR_\w+ .*?)\s*/\* (.*) \*/$", r"\1 /**< \2 */", line)
            line = line.replace("/* Typed accessors: the parameters each row of zor_accessors.def gets. */",
                                "/* Typed accessors: one Get and/or Set per attribute, each the generic accessor "
                                "of its type with the attribute ID fixed. */")
            out.append(line)
            continue
        table = m.group(1)
        if table == "zor_status.def":
            for st in status_codes(inc):
                out.append(f"#define ZOR_ERROR_{st['name']} ((ViStatus)0x{st['value']:08X}L) /**< {st['text']} */")
        elif table == "zor_attributes.def":
            for a in attrs:
                out.append(f"    ZOR_ATTR_{a['name']} = {a['id']}, /**< {sentence(a['doc'])} */")
        elif table == "zor_keywords.def":
            last = None
            for k in kws:
                if k["table"] != last:
                    out.append(f"    /* {k['table'].replace('_', ' ')} */")
                    last = k["table"]
                out.append(f"    ZOR_VAL_{k['name']} = {k['value']}, /**< {sentence(k['doc'])} */")
        elif table == "zor_accessors.def":
            out.append("/* Each typed accessor is declared with its area below. */")
        elif area_of(table):
            area = area_of(table)
            heading = next(h for key, h, _ in AREAS if key == area)
            purpose = next(p for key, _, p in AREAS if key == area)
            out.append(f"/* ---- {heading}: {purpose} */")
            typed = [a for a in accs if accessor_area(a["name"]) == area]
            out += group_open(f"area_{area}", heading, purpose + (" Typed accessors first, then the actions."
                                                                   if typed else ""))
            for a in typed:
                out += accessor_lines(a)
            for f in functions(inc, area):
                out += doc_block(sentence(f["doc"]), f["name"], f["params"])
                out += prototype(f["name"], f["params"])
            out.append("/** @} */")
        else:
            raise SystemExit(f"zor_tables.py: no expansion for {table}")
    return "\n".join(out) + "\n"


def export_names(inc):
    names = [a["name"] for a in accessors(inc)]
    for area, _, _ in AREAS:
        names += [f["name"] for f in functions(inc, area)]
    text = (inc / "ZOR.h").read_text()
    names += re.findall(r"ZOR_API ViStatus ZOR_CALL (ZOR_\w+)\(", text)
    return sorted(set(names))


# The attributes no typed accessor names: their value type, checked by the
# Python tests through the generic accessor of that type.
UNTYPED = {
    "INSTRUMENT_FIRMWARE_REVISION": "ViString", "SPECIFIC_DRIVER_REVISION": "ViString",
    "SYSTEM_IO_TIMEOUT": "ViInt32", "CHANNEL_COUNT": "ViInt32", "DISPLAY_WINDOW_COUNT": "ViInt32",
    "TRACE_COUNT": "ViInt32", "TIME_DOMAIN_COUPLING_ENABLED": "ViBoolean", "SYSTEM_ACTIVE_MARKER": "ViInt32",
    "SYSTEM_ACTIVE_MEASUREMENT_CLASS": "ViString",
}


def make_python(inc):
    accs = accessors(inc)
    types, writable = {}, set()
    for a in accs:
        types.setdefault(a["attribute"], a["type"])
        if a["direction"] == "Set":
            writable.add(a["attribute"])
    lines = ['"""Generated by cmake/zor_tables.py from include/*.def: do not edit."""', "",
             "# name: (attribute ID, value type, settable through a typed accessor, meaning)", "ATTRIBUTES = {"]
    for a in attributes(inc):
        vtype = types.get(a["name"]) or UNTYPED.get(a["name"])
        if vtype is None:
            raise SystemExit(f"zor_tables.py: no value type for attribute {a['name']}")
        lines.append(f"    {a['name']!r}: ({a['id']}, {vtype!r}, {a['name'] in writable}, {a['doc']!r}),")
    lines += ["}", "", "# name: value of the ZOR_VAL_* constants", "VALUES = {"]
    for k in keywords(inc):
        lines.append(f"    {k['name']!r}: {k['value']},")
    lines += ["}", "", "# export: parameter types, from the readable header's prototypes", "FUNCTIONS = {"]
    header = make_header(inc)
    prototypes = dict(re.findall(r"^ZOR_API ViStatus ZOR_CALL (ZOR_\w+)\((.*?)\);", header, re.M))
    # In the tables' own order (the header groups the accessors by area).
    listed = [a["name"] for a in accs] + [f["name"] for area, _, _ in AREAS for f in functions(inc, area)]
    hand = [name for name in prototypes if name not in set(listed)]
    for name in dict.fromkeys(hand + listed):
        types = [param_parts(p)[0] for p in split_top(prototypes[name]) if p]
        lines.append(f"    {name!r}: {tuple(types)!r},")
    lines += ["}", "", "# ZOR_* constants that are not attribute IDs or ZOR_VAL_* values", "CONSTANTS = {"]
    for name, value in re.findall(r"^#define (ZOR_\w+) \(?(?:\(ViStatus\))?(-?(?:0x[0-9A-Fa-f]+|\d+))L?\)?", header,
                                  re.M):
        number = int(value, 0)
        if number >= 2**31:  # statuses are signed 32-bit
            number -= 2**32
        lines.append(f"    {name!r}: {number},")
    lines += ["}", ""]
    return "\n".join(lines)


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    mode, inc = argv[1], Path(argv[2])
    if mode == "names":
        print("\n".join(export_names(inc)))
        return
    text = {"header": make_header, "python": make_python}[mode](inc)
    target = Path(argv[3])
    # Rewritten only when changed, so dependants do not rebuild for nothing.
    if not target.exists() or target.read_text() != text:
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_text(text)


if __name__ == "__main__":
    main(sys.argv)
