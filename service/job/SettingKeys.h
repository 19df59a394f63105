#pragma once
// The sections and keys of TARN.ini that the service reads. Names are
// matched without regard to case.

namespace tarn {

// Section of the fixed settings.
inline constexpr const char* kServerSection = "Server";
// Section shared by all workbook jobs, and the prefix that selects it.
inline constexpr const char* kXlsSection = "xls";

// Section Server.
inline constexpr const char* kModulePathKey = "ModulePath";
inline constexpr const char* kHomeKey = "home";  // tool folder below ModulePath
inline constexpr const char* kPortKey = "port";
inline constexpr const char* kDebugKey = "debug";
inline constexpr const char* kMailServerKey = "emlsrv";
inline constexpr const char* kMailPortKey = "emport";
inline constexpr const char* kSenderKey = "sender";
inline constexpr const char* kInfoKey = "info";
inline constexpr const char* kBodyFilesKey = "bodyfiles";
inline constexpr const char* kEmailUidKey = "emailUID";
inline constexpr const char* kEmailPwdKey = "emailPWD";
inline constexpr const char* kActivityLogKey = "emlog";
inline constexpr const char* kMaxSizeKey = "emmaxsize";
// The mailer's character set, TLS mode and CA file (absent: not passed).
inline constexpr const char* kMailCharsetKey = "emcharset";
inline constexpr const char* kMailTlsKey = "emtls";
inline constexpr const char* kMailCaFileKey = "emcafile";
// Folder overprint takes forms named in report text from (absent: its own folder).
inline constexpr const char* kFormsDirKey = "formsDir";

// A per-report section.
inline constexpr const char* kSaveDirKey = "saveDir";
// Its presence (even empty) selects PDF output.
inline constexpr const char* kTemplateKey = "template";
inline constexpr const char* kPdfParamsKey = "pdfparams";
inline constexpr const char* kMergeBeforeKey = "mergeBefore";
inline constexpr const char* kMergeAfterKey = "mergeAfter";

// Section xls: tabulate's settings.
inline constexpr const char* kDateFormatKey = "dateFormat";
inline constexpr const char* kDecSeparatorKey = "inputDecSeparator";
inline constexpr const char* kGroupSeparatorKey = "inputGroupSeparator";
inline constexpr const char* kExcelDirectiveKey = "excelDirective";
inline constexpr const char* kNextSheetKey = "nextSheet";

}  // namespace tarn
