#pragma once
// The small fixed records that state the workbook's settings, in the order
// the workbook globals list them (MS-XLS 2.1.7.20.3): the user-interface
// block, WRITEACCESS, DSF, RRTABID, the protection block, BACKUP, HIDEOBJ,
// CALCPRECISION, REFRESHALL, BOOKBOOL, USESELFS and COUNTRY. Readers do
// without most of them; Excel expects them where they belong.

#include <cstddef>

#include "xls/RecordStream.h"

namespace tarn::xls {

// INTERFACEHDR (MS-XLS 2.4.148): the user interface's code page (UTF-16).
void WriteInterfaceHdr(RecordStream& out);
// MMS (2.4.173): no menu or toolbar changes.
void WriteMms(RecordStream& out);
// INTERFACEEND (2.4.147).
void WriteInterfaceEnd(RecordStream& out);
// WRITEACCESS (2.4.349): the name of the writing user, padded to 112 bytes.
void WriteWriteAccess(RecordStream& out);
// DSF (2.4.94): no double stream.
void WriteDsf(RecordStream& out);
// RRTABID (2.4.241): the sheets' ids 1..sheets, when they fit one record.
void WriteRrTabId(RecordStream& out, std::size_t sheets);
// WINDOWPROTECT, PROTECT, PASSWORD, PROT4REV, PROT4REVPASS (2.4.347, 2.4.207,
// 2.4.191, 2.4.205, 2.4.206): nothing is protected.
void WriteWindowProtect(RecordStream& out);
void WriteProtect(RecordStream& out);
void WritePassword(RecordStream& out);
void WriteProt4Rev(RecordStream& out);
void WriteProt4RevPass(RecordStream& out);
// BACKUP (2.4.14), HIDEOBJ (2.4.139), CALCPRECISION (2.4.41), REFRESHALL
// (2.4.226), BOOKBOOL (2.4.22), USESELFS (2.4.337): Excel's defaults.
void WriteBackup(RecordStream& out);
void WriteHideObj(RecordStream& out);
void WriteCalcPrecision(RecordStream& out);
void WriteRefreshAll(RecordStream& out);
void WriteBookBool(RecordStream& out);
void WriteUsesElfs(RecordStream& out);
// COUNTRY (2.4.63): United States.
void WriteCountry(RecordStream& out);

}  // namespace tarn::xls
