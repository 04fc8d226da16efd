#include "platform/linux/EpollListener.h"
// placeholder
#include <QSocketNotifier>
namespace tessel::platform {
struct EpollListener::Connection {};
EpollListener::EpollListener(Limits limits, QObject* parent) : QObject(parent), limits_(limits) {}
EpollListener::~EpollListener() = default;
void EpollListener::setEvents(Events events) { events_ = std::move(events); }
std::optional<ListenError> EpollListener::listen(std::uint16_t) { return ListenError{1, "not built"}; }
void EpollListener::close() {}
bool EpollListener::isListening() const { return false; }
std::size_t EpollListener::openConnections() const { return 0; }
std::uint16_t EpollListener::localPort() const { return 0; }
void EpollListener::onReady() {}
void EpollListener::acceptPending() {}
void EpollListener::serve(int, std::uint32_t) {}
void EpollListener::flush(int) {}
void EpollListener::drop(int) {}
void EpollListener::expireSilent() {}
void EpollListener::armTimer() {}
}  // namespace tessel::platform
