#include "adapter/models_common.h"

#include "frame/session.h"
#include "support/qvutil.h"

namespace zor_adapter {

status_t list_count_model_t::getter(long_t& value) {
    status_t status = 0;
    std::string reply;
    session->api.text_query(status, list_query(), reply);
    // Warnings too: a count from a doubtful reply is not worth returning.
    if (status != 0) return status;
    value = static_cast<long_t>(qvdriver::util::parse_int_list(reply).size());
    return 0;
}

}  // namespace zor_adapter
