/* libQuerion: runs SQL text on the remote database service.
 *
 * Every text is a NUL-terminated code page 949 string. Exports that make a
 * call return the procedure's 8-bit result zero-extended (1..255 success,
 * 0 the server reported a failure, its code and text in the error record),
 * or minus the RPC status on an RPC failure (nCode is then the same
 * negative value and szMessage the system text). A null pointer argument
 * fails with -1780 before anything is sent. Nothing throws.
 */
#ifndef QUERION_H
#define QUERION_H

#include <stdint.h>

#if defined(QUERION_BUILD)
#define QUERION_API __attribute__((visibility("default")))
#else
#define QUERION_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Binding handle: 32 bits, 0 when there is none. */
typedef uint32_t RDB_HANDLE;

typedef struct _RDB_ERROR {
  int32_t nCode;          /* 0 success or row present, 1 no row, other: database error; <0 RPC failure */
  char szMessage[1001];   /* NUL-terminated */
} RDB_ERROR;              /* 1008 bytes */

/* Record handler: (binding, query ID, second value, record text); return 0 to stop. */
typedef int (*RDB_RECORD_HANDLER)(RDB_HANDLE hBinding, int32_t nQueryID, int32_t nSecond, const char* pszRecord);

/* Message box hook used by the default record handler (texts in code page 949).
 * Without a hook the message goes to standard error. */
typedef void (*RDB_MESSAGE_HOOK)(const char* pszText, const char* pszCaption);

QUERION_API RDB_HANDLE RDBServerOpen(const char* pszAddress, const char* pszPort);
QUERION_API int32_t RDBServerClose(RDB_HANDLE hBinding);
QUERION_API int RDBIsReady(RDB_HANDLE hBinding);
QUERION_API int RDBExecuteSQL(RDB_HANDLE hBinding, const char* pszDatabase, const char* pszStatement,
                              RDB_ERROR* pError);
QUERION_API int RDBExecuteSQLEx(RDB_HANDLE hBinding, const char* pszDatabase, const char* pszStatement,
                                RDB_ERROR* pError);
QUERION_API int RDBExecuteSQLWan(RDB_HANDLE hBinding, const char* pszDatabase, const char* pszStatement,
                                 RDB_ERROR* pError);
QUERION_API int RDBExecuteSQLQueue(RDB_HANDLE hBinding, const char* pszText1, const char* pszText2,
                                   const char* pszText3, const char* pszText4, RDB_ERROR* pError);
QUERION_API int RDBBulkExecuteSQL(RDB_HANDLE hBinding, const char* pszDatabase, int32_t nCount,
                                  const char* pszBatch, int32_t* pnExecuted, RDB_ERROR* pError);
QUERION_API int RDBQueryRecord(RDB_HANDLE hBinding, const char* pszDatabase, int32_t nQueryID,
                               const char* pszStatement, int32_t* pnRows, RDB_ERROR* pError);
QUERION_API int RDBBulkQueryRecord(RDB_HANDLE hBinding, const char* pszDatabase, int32_t nQueryID,
                                   const char* pszStatement, int32_t* pnRows, RDB_ERROR* pError);
QUERION_API int RDBQueryRecordEx(RDB_HANDLE hBinding, const char* pszDatabase, int32_t nQueryID, int32_t nSecond,
                                 const char* pszStatement, int32_t* pnRows, RDB_ERROR* pError);
QUERION_API int RDBQueryFirstRecord(RDB_HANDLE hBinding, const char* pszDatabase, const char* pszStatement,
                                    char* pszRecord /* 4096 bytes */, RDB_ERROR* pError);
QUERION_API int RDBQueryFirstRecordEx(RDB_HANDLE hBinding, const char* pszDatabase, int32_t nValue,
                                      const char* pszStatement, char* pszRecord /* 4096 bytes */,
                                      RDB_ERROR* pError);
QUERION_API RDB_RECORD_HANDLER RDBSetEventCallBackFN(RDB_RECORD_HANDLER pfnHandler);
QUERION_API RDB_MESSAGE_HOOK RDBSetMessageHook(RDB_MESSAGE_HOOK pfnHook);

#ifdef __cplusplus
}
#endif

#endif /* QUERION_H */
