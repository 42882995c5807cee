#pragma once
// The one place where long-running work lets the user interface breathe. Code that has no
// business knowing about a GUI (codecs, decoder, sockets) calls ProcessPendingMessages at
// its natural checkpoints; the application installs the toolkit's event processing as the
// hook. Until then the calls do nothing.

namespace vexil {

using MessagePumpHook = void (*)();

// Installs the hook (nullptr removes it). Returns the previous hook.
MessagePumpHook SetMessagePumpHook(MessagePumpHook hook);

// Runs the hook, at most once per pump interval (20 ms), so that a decoder calling it for
// every line is not slowed down by a pass of the event loop per line.
void ProcessPendingMessages();

// Runs the hook now, whatever the interval; for waits that sleep between passes anyway.
void ProcessPendingMessagesNow();

// Makes the next ProcessPendingMessages run the hook whatever the interval: for a call a
// handler queued for the interface that is to be seen at the running operation's next
// wait, not up to one interval later.
void RequestMessagePass();

} // namespace vexil
