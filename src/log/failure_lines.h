// The lines that say something failed, in one place: the library's, as the formats its Log calls write
// them with, and the relay's mark. The host simulator knows a failure by a whole line of this table or by
// the relay's mark at its fixed place, never by a word, which a URL or a host name may carry as well.
#pragma once

// What a failure line means for a run of the host simulator (qelhost --strict counts kPlayerPath only).
enum class FailureWeight {
  kPlayerPath,      // the stream could not be set up, reported, carried or closed: shown and counted
  kFollowOn,        // a detail of a failure that a kPlayerPath line of the caller reports: shown
  kSessionCommand,  // a command of the host's session refused: shown, the session's own doing
  kOptional,        // something the control works without (the media-link library and its stop notices,
                    // a file's version resource, a plug-in file the session does not load): neither
                    // shown nor counted
};

struct FailureLine {
  const char* format;
  FailureWeight weight;
};

// Local proxies: loading the plug-in, starting, asking and closing its proxies.
inline constexpr char kFailedPluginLoad[] = "VideoHost::LoadProxyPlugin: VideoProxy plugin loaded failed, error=%s";
inline constexpr char kFailedPluginStart[] = "VideoHost::StartLocalProxies: Failed to load proxy plugin dll";
inline constexpr char kFailedProxySetting[] = "VideoHost::StartLocalProxies: Invalid proxy setting";
inline constexpr char kFailedProxyFactory[] =
    "VideoHost::StartLocalProxies: Index=%d, Failed to create local proxy plugin, %s";
inline constexpr char kFailedProxyInterface[] = "VideoHost::StartLocalProxies: Allocation failed";
inline constexpr char kFailedSetCallback[] = "VideoHost::StartLocalProxies: Index=%d, Failed to set callback";
inline constexpr char kFailedProxyCreate[] = "VideoHost::StartLocalProxies: Index=%d, Create failed";
inline constexpr char kFailedPortOutOfRange[] = "VideoHost::GetLocalProxyPort: Index=%d, Out of range";
inline constexpr char kFailedPortBadPointer[] = "VideoHost::GetLocalProxyPort: Index=%d, Bad pointer";
inline constexpr char kFailedProxyClose[] =
    "VideoHost::CloseProxyConnections: ProxyIndex=%d, HR=0x%08X, Failed to close all proxy connection";
inline constexpr char kFailedPortReport[] = "VideoHost::StartPlay: Failed to sent proxy port";
inline constexpr char kFailedStatusReport[] = "VideoHost::Suspend: Failed to sent proxy status (%d)";
inline constexpr char kFailedStopPost[] = "VideoHost::StopEveryone: Failed to post VOLink message";
// The host's settings.
inline constexpr char kFailedSetConnectionURL[] = "VideoHost::SetURL: Failed to set URL";
inline constexpr char kFailedURLProxyIndex[] = "VideoHost::SetURL: ProxyIndex=%d, out of range";
inline constexpr char kFailedURLProxyObject[] = "VideoHost::SetURL: Invalid proxy object";
inline constexpr char kFailedURLConfigObject[] = "VideoHost::SetURL: Invalid proxy setting object";
inline constexpr char kFailedClientKey[] = "VideoHost::SetSecureHeader: Failed to get client key from CBB";
inline constexpr char kFailedCommandParse[] = "VideoHost::OnProcessQelVideoCmd: Failed to parse command message";
inline constexpr char kFailedCommand[] = "VideoHost::OnProcessQelVideoCmd: Cmd=%d [%s], Failed to process";
// The host's channels: heartbeat, talkback, requests.
inline constexpr char kFailedHeartbeat[] = "VideoHost::SendHeartbeat: RCode=%ld, Failed";
inline constexpr char kFailedTalkbackObject[] = "Talkback: Talkback object is invalid";
inline constexpr char kFailedTalkbackSend[] = "Talkback: HR=0x%08X, Failed";
inline constexpr char kFailedSendCommand[] = "SendCommand: Command=%d, Failed";
inline constexpr char kFailedHostRequest[] = "CBBCallback: RCode=%d, HR=0x%08X, Failed";
// The control's start.
inline constexpr char kFailedVideoHostAllocation[] = "VideoHost::Initialize: Allocation failed";
inline constexpr char kFailedHostSetCtrl[] = "InitControl: CTRLBBOX IUnknow does not support ICBBSetCtrl";
inline constexpr char kFailedVideoHost[] = "InitControl: QelVideo host is not initialized";
inline constexpr char kFailedHostObject[] = "InitControl: IUnknown passed to InitControl is invalid";
inline constexpr char kFailedHostCallback[] = "InitControl: Failed to create CBBInfo3 talk back interface";
inline constexpr char kFailedHostTalkback[] = "InitControl: Failed to initialize Strovek TALK BACK interface";
inline constexpr char kFailedControlWindow[] = "InitControl: Failed to create a window";
inline constexpr char kFailedMessageWindow[] = "CreateMessageOnlyWin: Failed to create a message-only window";
inline constexpr char kFailedHeartbeatTimer[] = "StartTimer: Failed to start heartbeat timer: %s";
inline constexpr char kFailedMediaLinkLoad[] = "InitControl: Failed to load %s";
// The log's header.
inline constexpr char kFailedFileVersion[] = "DisplayDllVersion: File=%s, Failed to get version number";

inline constexpr FailureLine kFailureLines[] = {
    {kFailedPluginLoad, FailureWeight::kPlayerPath},
    {kFailedPluginStart, FailureWeight::kFollowOn},
    {kFailedProxySetting, FailureWeight::kPlayerPath},
    {kFailedProxyFactory, FailureWeight::kPlayerPath},
    {kFailedProxyInterface, FailureWeight::kPlayerPath},
    {kFailedSetCallback, FailureWeight::kPlayerPath},
    {kFailedProxyCreate, FailureWeight::kPlayerPath},
    {kFailedPortOutOfRange, FailureWeight::kPlayerPath},
    {kFailedPortBadPointer, FailureWeight::kPlayerPath},
    {kFailedProxyClose, FailureWeight::kPlayerPath},
    {kFailedPortReport, FailureWeight::kPlayerPath},
    {kFailedStatusReport, FailureWeight::kPlayerPath},
    {kFailedStopPost, FailureWeight::kOptional},
    {kFailedSetConnectionURL, FailureWeight::kPlayerPath},
    {kFailedURLProxyIndex, FailureWeight::kSessionCommand},
    {kFailedURLProxyObject, FailureWeight::kSessionCommand},
    {kFailedURLConfigObject, FailureWeight::kSessionCommand},
    {kFailedClientKey, FailureWeight::kPlayerPath},
    {kFailedCommandParse, FailureWeight::kSessionCommand},
    {kFailedCommand, FailureWeight::kSessionCommand},
    {kFailedHeartbeat, FailureWeight::kPlayerPath},
    {kFailedTalkbackObject, FailureWeight::kFollowOn},
    {kFailedTalkbackSend, FailureWeight::kFollowOn},
    {kFailedSendCommand, FailureWeight::kFollowOn},
    {kFailedHostRequest, FailureWeight::kFollowOn},
    {kFailedVideoHostAllocation, FailureWeight::kPlayerPath},
    {kFailedHostSetCtrl, FailureWeight::kPlayerPath},
    {kFailedVideoHost, FailureWeight::kPlayerPath},
    {kFailedHostObject, FailureWeight::kPlayerPath},
    {kFailedHostCallback, FailureWeight::kPlayerPath},
    {kFailedHostTalkback, FailureWeight::kPlayerPath},
    {kFailedControlWindow, FailureWeight::kPlayerPath},
    {kFailedMessageWindow, FailureWeight::kFollowOn},
    {kFailedHeartbeatTimer, FailureWeight::kPlayerPath},
    {kFailedMediaLinkLoad, FailureWeight::kOptional},
    {kFailedFileVersion, FailureWeight::kOptional},
};

// The relay's lines about one player's connection begin "Relay N connection M: ". One that says the
// connection failed (a source or proxy it could not reach, a refusal) carries this mark right after
// that prefix, where no host or URL ever stands: "Relay 1 connection 2: error: cannot reach ...".
inline constexpr char kRelayFailureMark[] = "error: ";
