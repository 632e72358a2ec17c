#include "video/command_names.h"

namespace {

constexpr uint32_t kFirstVideoCommand = 200;
constexpr uint32_t kLastVideoCommand = 249;
constexpr uint32_t kLastTerminalOpcode = 142;

// clang-format off
constexpr const char* kVideoCommandNames[kLastVideoCommand - kFirstVideoCommand + 1] = {
    "MNS Setting", "Socks5 Setting", "Backup Plug Setting", "Backup MNS Setting", "Logging Setting",  // 200
    "Play", "Stop", "Pause", "Fast Forward", "Fast Reverse",  // 205
    "Next Track", "Previous Track", "Stop/Pause", "Set Position", "Script Command",  // 210
    "Player Alarm Interval", "Show Control", "Mute", "Set Volume", "Inrease/Decrease Volume",  // 215
    "Player Plugin Setting", "Session ID Setting", "MProxy Setting", "Reset Connection Setting", "Marker Setting",  // 220
    "Marker Hit", "Initial Marker Hit", "URL Setting", "Hide Player Control", "Install V9 Codec",  // 225
    "VOD's Start/End Times Setting", "Change Position", "EOS", "EOS Notification Setting", "",  // 230
    "WMS Error", "WMS Error Setting", "Stop Now-Playing Setting", "Player Ready", "Talkback with ACID",  // 235
    "Report Proxy Port", "Proxy Plugin Type", "Proxy Auth Key", "Script Setting", "Allow Multiple Players",  // 240
    "Set Isolated Player", "Player Status Setting", "Player Status", "Allow Background Play", "Proxy Status",  // 245
};

constexpr const char* kTerminalOpcodeNames[kLastTerminalOpcode + 1] = {
    "", "", "", "", "",  // 0
    "", "", "", "", "",  // 5
    "TitleLong", "SetupClickLong", "SetupPopupMenuLong", "SetActiveLong", "CompactPaint",  // 10
    "ColorMap", "SetAppearanceLong", "SetVisibleRowsColsLong", "SetWindowManagerOptionsLong", "WinManHostedControlActionLong",  // 15
    "", "LoadFile", "SetProxy", "SetGridAttributesLong", "IconDefinitionLong",  // 20
    "SetSocks", "", "", "", "",  // 25
    "", "", "PaintMonitorText", "AddNewsText", "AddSTCText",  // 30
    "SetScroll", "Title", "SetupClick", "PopupMenu", "SetActive",  // 35
    "SetAppearance", "SetVisibleRowsCols", "SetWindowManagerOptions", "WinManHostedControlAction", "",  // 40
    "", "", "SetGridAttributes", "IconDefinition", "SetCellColor",  // 45
    "SortParams", "SendCommand", "ExtendedPaint", "EnableNew", "StartStopPaint",  // 50
    "CellShrinkThreshold", "RequestAttrBlock", "DefineDataType", "SetFeature", "DefineJustification",  // 55
    "ExportOperation", "SendDataToDG", "SystemCommand", "DefineByteCode", "MultipleExtendedPaint",  // 60
    "DefaultSortType", "DisconnectFromChain", "DefineEditable", "", "EditCell",  // 65
    "DefineExpression", "AlertPaint", "SelectQELWindow", "STCParams", "FloatingButton",  // 70
    "CursorCtrl", "", "FloatingCell", "StaticColumnWidthsLoRes", "",  // 75
    "", "SetSocksShort", "RemoteCellAutoUpdate", "CancelEditing", "SourcePortRange",  // 80
    "StaticColumnWidths", "GFXObject", "MaxEditChars", "ModifyFloatingButton", "SetFrameType",  // 85
    "AttachClingon", "SetFeature32", "ConnectionTest", "PageDown", "NewsSplitParams",  // 90
    "SearchCellAction", "", "CellAttributes", "GeneralOpcode", "CustomMenuItem",  // 95
    "DefineDialogMask", "DefineFontOffset", "CustomColorMap", "DefineButtonIcon", "SetUpdateRowByKey",  // 100
    "DefineMonIds", "DefineMonitorRule", "DataSegment", "MoveControlNearCell", "SetFontRange",  // 105
    "AutoPageParams", "DefineToolTip", "AddComboBoxItems", "SecureMessageHdr", "DefineCellAutoInc",  // 110
    "DefineFloatingButtonPanel", "CompactMultExPaint", "DefinePerCellMonIds", "RepeatStart", "RepeatEnd",  // 115
    "StringDefinition", "SetRange", "DefineMonitorGridRow", "", "",  // 120
    "CustomButton", "", "CompactMsg", "UpdateCellColorEx", "DefineAutoHideRule",  // 125
    "EchoTalkback", "RMTCSlaveMessage", "QueryRegistry", "CharGridText", "AddCharGridElements",  // 130
    "GenPaint", "BOMPEvent", "GeneralOpcodeEx", "FloatingCellHiRes", "PictureSegment",  // 135
    "GenPaintSegment", "UpdateSecurityField", "CellStringAttributes",  // 140
};
// clang-format on

}  // namespace

const char* CommandName(int32_t nCmd) {
  const uint32_t number = static_cast<uint32_t>(nCmd);
  if (number >= kFirstVideoCommand && number <= kLastVideoCommand)
    return kVideoCommandNames[number - kFirstVideoCommand];
  if (number <= kLastTerminalOpcode) return kTerminalOpcodeNames[number];
  return "";
}
