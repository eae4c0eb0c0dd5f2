#pragma once
// Texts of the hand-over to a permanent DHCP service: menu items, file
// filters and messages.

#include <string_view>

namespace corvessa::handoff_text {

inline constexpr std::string_view kMenuImport = "&Import...";
inline constexpr std::string_view kMenuExport = "&Export";
inline constexpr std::string_view kMenuExportKea = "ISC &Kea DHCPv4...";
inline constexpr std::string_view kMenuExportDnsmasq = "&dnsmasq...";

inline constexpr std::string_view kImportFilter =
    "Kea or dnsmasq Configurations (*.conf; *.json)|*.conf;*.json|All Files (*.*)|*.*||";
inline constexpr std::string_view kKeaFilter = "Kea DHCPv4 Configurations (*.conf; *.json)|*.conf;*.json||";
inline constexpr std::string_view kDnsmasqFilter = "dnsmasq Configurations (*.conf)|*.conf||";
inline constexpr std::string_view kConfExtension = "conf";

inline constexpr std::string_view kImportFailedCaption = "Import Failed";
inline constexpr std::string_view kExportFailedCaption = "Export Failed";
// %s: the file's full path, then the reason.
inline constexpr std::string_view kImportFailed = "Error importing file '%s':\n%s";
inline constexpr std::string_view kExportRefused = "The relation list cannot be exported as it is:\n\n%s";
inline constexpr std::string_view kExporting = "Exporting...";
inline constexpr std::string_view kExportAborted = "Export aborted.";
inline constexpr std::string_view kExportWriteFailed = "Export failed: the file '%s' could not be written.";
// %d relations, the server, the file (and the standby's file).
inline constexpr std::string_view kExportComplete = "Exported %d relations for %s to %s";
inline constexpr std::string_view kExportPairComplete = "Exported %d relations for a Kea pair to %s and %s";
inline constexpr std::string_view kImportComplete = "Import complete";
inline constexpr std::string_view kImportCompleteOmitted =
    "Import complete. %d records were omitted because of errors or duplicates.";

}  // namespace corvessa::handoff_text
