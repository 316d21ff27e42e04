// TCP sockets for both sides of the instrument protocols: the bundled
// VISA's transports and vna-sim's servers. The platform's socket calls
// (POSIX or Winsock) stand behind these few functions and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorwire::tcp {

#if defined(_WIN32)
using handle_t = std::uintptr_t;  // SOCKET
#else
using handle_t = int;
#endif
extern const handle_t invalid_handle;

bool ready();  // sockets usable (Windows: started once)
int last_error();
// A call that could not go on now: try again (an interrupted call too).
bool would_block(int error);
bool interrupted(int error);
void close_handle(handle_t s);
void shutdown_handle(handle_t s);
bool set_blocking(handle_t s, bool blocking);
// Instrument traffic is short request and reply exchanges: never hold a
// message back to fill a segment.
void set_no_delay(handle_t s);
void set_keep_alive(handle_t s);
// Acknowledges at once what was just received. A client that writes a
// command and then a query, with Nagle's algorithm on, holds the query back
// until the command is acknowledged; a delayed acknowledgement would stall
// it for tens of milliseconds. Linux resets the option after a while, so it
// is set again after every receive. Nothing where the system has no such option.
void acknowledge_promptly(handle_t s);
// 1 ready, 0 time-out (or interrupted), -1 error. Hang-up and errors count
// as ready: the next call reports them.
int wait_handle(handle_t s, bool for_write, int ms);
// Neither waits: what the socket takes or holds now, else would_block. A
// send to a closed peer fails with an error, never a signal.
long send_some(handle_t s, const char* p, std::size_t n);
long recv_some(handle_t s, char* p, std::size_t n);
// What has come, waiting up to `ms` for the first byte: on a time-out -1
// with would_block(last_error()). A reply is then taken by the wait itself,
// in one system call, not by a failed read, a wait and a read again.
// `timeout_ms` keeps the socket's receive time-out (start it at -1), so waits
// of one length set it once. The socket must be in blocking mode (POSIX).
long recv_waiting(handle_t s, char* p, std::size_t n, int ms, int& timeout_ms);
// Puts a connected socket in the mode recv_waiting expects: blocking on
// POSIX (it waits in the receive), non-blocking on Windows (it tries, waits
// and tries again).
bool set_waiting_mode(handle_t s);

enum class connect_t { connected, unknown_host, refused, timed_out };
// A blocking connection with no Nagle delay to `host` (a name or an address),
// trying each address the name has: unknown_host when the name does not
// resolve, refused when no address took the connection, timed_out when no answer
// came within `timeout_ms` (negative: no limit).
connect_t connect(const std::string& host, std::uint16_t port, long long timeout_ms, handle_t& out);

// A listening socket on `address` (empty: every local address) and `port`
// (0: one the system picks). invalid_handle on failure, with `error` saying why.
handle_t listen_on(const std::string& address, std::uint16_t port, int backlog, std::string& error);
// A listening socket on the IPv4 address a connected socket uses here, on
// a port the system picks (for a device that calls back); invalid_handle
// when the connection is not over IPv4.
handle_t listen_beside(handle_t connected, std::uint32_t& address, std::uint16_t& port);
// The next connection on a listener, with no Nagle delay; invalid_handle when none.
handle_t accept_handle(handle_t listener);

// The local IPv4 address (host order) a socket uses; false for any other family.
bool local_ipv4(handle_t s, std::uint32_t& address);
std::uint16_t local_port(handle_t s);
std::string dotted(std::uint32_t ipv4);

}  // namespace zorwire::tcp
