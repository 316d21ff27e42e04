// Every export with a bad argument in each position: a null in each pointer,
// invalid handles, negative, zero and extreme integers, NaN and infinite
// reals. Each call runs in a child process (Linux only: fork), so a crash or a
// hang is one finding, not the end of the run. No call may crash or hang, and
// none may succeed with an argument it cannot honour.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <set>
#include <sstream>

#include "export_calls.h"
#include "zor_sim_control.h"

using namespace zor_robust;

namespace {

constexpr int watchdog_ms = 20000;

struct outcome_t {
    enum { returned, crashed, hung } how = returned;
    ViStatus status = 0;
    int signal = 0;
};

outcome_t run_in_child(const export_t& e, const plan_t& plan) {
    int pipe_fd[2];
    if (pipe(pipe_fd) != 0) return {outcome_t::crashed, 0, -1};
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fd[0]);
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, STDOUT_FILENO);
        const ViStatus status = e.call(plan);
        (void)!write(pipe_fd[1], &status, sizeof status);
        _exit(0);
    }
    close(pipe_fd[1]);
    pollfd p{pipe_fd[0], POLLIN, 0};
    outcome_t outcome;
    if (poll(&p, 1, watchdog_ms) <= 0) {
        kill(pid, SIGKILL);
        outcome.how = outcome_t::hung;
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (outcome.how != outcome_t::hung) {
        if (read(pipe_fd[0], &outcome.status, sizeof outcome.status) != sizeof outcome.status) {
            outcome.how = outcome_t::crashed;
            outcome.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : -WEXITSTATUS(wstatus);
        }
    }
    close(pipe_fd[0]);
    return outcome;
}

// Pointers the caller may leave null: a null selector means the active
// channel, trace or window; the others are optional outputs or options.
const std::set<std::string> optional_anywhere = {"repCapIdentifier", "measurementName", "windowName", "channelName"};
const std::set<std::pair<std::string, std::string>> optional_pointers = {
    {"ZOR_MeasurementQueryData", "valueCount"},  // only the data wanted
    {"ZOR_LockSession", "callerHasLock"},         // the flag is for nested locking only
    {"ZOR_UnlockSession", "callerHasLock"},
    {"ZOR_viWrite", "returnCount"},
    {"ZOR_viRead", "returnCount"},
    {"ZOR_InitWithOptions", "optionString"},  // no options
};

bool is_size(const std::string& name) { return name.size() >= 4 && name.compare(name.size() - 4, 4, "Size") == 0; }

// Whether a call is made at all: a size far beyond the buffer handed over is
// the caller's untruth, which no C function can see.
bool worth_calling(const export_t& e, int param, bad_t bad) {
    return !(bad == bad_t::int_max && is_size(e.params[static_cast<std::size_t>(param)]));
}

// Whether a success is wrong for this bad argument. A negative capacity of
// the limit-table queries asks for the count only, like 0.
bool must_fail(const export_t& e, int param, bad_t bad) {
    const std::string& name = e.params[static_cast<std::size_t>(param)];
    switch (bad) {
    case bad_t::invalid_handle:
        // A status code's text needs no session; the calling thread's error
        // record is cleared without one.
        return std::string(e.name) != "ZOR_error_message" && std::string(e.name) != "ZOR_ClearError";
    case bad_t::null_handle:
        // ...and read without one: a failed open leaves no session to ask.
        return std::string(e.name) != "ZOR_error_message" && std::string(e.name) != "ZOR_ClearError" &&
               std::string(e.name) != "ZOR_GetError";
    case bad_t::null_pointer: return optional_anywhere.count(name) == 0 && optional_pointers.count({e.name, name}) == 0;
    case bad_t::negative:
    case bad_t::int_min: return is_size(name);
    case bad_t::nan:
    case bad_t::pos_inf:
    case bad_t::neg_inf: return true;
    default: return false;
    }
}

TEST(Sweep, NoExportCrashesHangsOrSucceedsOnBadArguments) {
    const std::string analyzer = "sweep";
    const std::string resource = "SIM::" + analyzer + "::INSTR";
    zsim_factory_reset(analyzer.c_str());
    ViSession vi = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(ZOR_InitWithOptions(const_cast<char*>(resource.c_str()), VI_TRUE, VI_FALSE, "", &vi), 0);
    testing::internal::GetCapturedStdout();

    std::map<std::string, int> calls;  // per bad kind
    std::vector<std::string> findings;
    const auto& exports = all_exports();
    for (const export_t& e : exports) {
        ASSERT_EQ(e.params.size(), e.kinds.size()) << e.name;
        for (std::size_t k = 0; k < e.kinds.size(); ++k) {
            for (bad_t bad : bad_kinds(e.kinds[k])) {
                if (!worth_calling(e, static_cast<int>(k), bad)) continue;
                plan_t plan;
                plan.vi = vi;
                plan.resource = resource;
                plan.param = static_cast<int>(k);
                plan.bad = bad;
                const outcome_t o = run_in_child(e, plan);
                ++calls[bad_name(bad)];
                std::ostringstream what;
                what << e.name << " " << e.params[k] << " = " << bad_name(bad) << ": ";
                if (o.how == outcome_t::hung) findings.push_back(what.str() + "hung");
                else if (o.how == outcome_t::crashed) findings.push_back(what.str() + "crashed, signal " + std::to_string(o.signal));
                else if (o.status == 0 && must_fail(e, static_cast<int>(k), bad)) findings.push_back(what.str() + "succeeded");
            }
        }
    }
    testing::internal::CaptureStdout();
    ZOR_close(vi);
    testing::internal::GetCapturedStdout();

    int total = 0;
    std::ostringstream summary;
    for (const auto& [kind, n] : calls) {
        summary << " " << kind << " " << n << ";";
        total += n;
    }
    std::cout << "sweep: " << exports.size() << " exports, " << total << " calls:" << summary.str() << "\n";
    EXPECT_EQ(exports.size(), 424u);
    for (const auto& f : findings) ADD_FAILURE() << f;
}

}  // namespace
