#include "app/update_state.h"

#include <stdarg.h>
#include <string.h>

#include "res/resource.h"
#include "toolkit/data/dbcs_text.h"

UpdateStateRecord UpdateState;

int UpdateTick()
{
    switch (UpdateState.phase) {
    case Idle:
        UpdateState.abort_requested = 0;
        break;
    case StartRequested: {
        char buf[WalkPathSize];
        // Without a working folder, or when the source root does not fit, the
        // join is refused and the root passed on empty, which CopyWalkerInit
        // refuses too: the run then reports a failure instead of copying from
        // some other folder.
        if (!JoinPath(buf, sizeof buf, UpdateState.work_dir, "patch"))
            buf[0] = 0;
        CopyWalkerInit(buf, UpdateState.install_dir, 0, &UpdateState.walker);
        UpdateState.phase = Copying;
        ReportCopyStart();
        break;
    }
    case Copying:
        if (UpdateState.abort_requested)
            UpdateState.phase = Finished;
        else if (CopyWalkerStep(&UpdateState.walker))
            ReportCopyFile(UpdateState.walker.current_name);
        else
            UpdateState.phase = Finished;
        break;
    case Finished:
        UpdateState.phase = Idle;
        ReportCopyEnd(UpdateState.walker.failed);
        break;
    case Quit:
        return 0;
    default:
        break;
    }
    return 1;
}

static void EnableButtons(BOOL enable)
{
    EnableWindow(GetDlgItem(UpdateState.dialog, IDC_QUIT), enable);
    EnableWindow(GetDlgItem(UpdateState.dialog, IDC_START), enable);
}

void ReportCopyStart()
{
    EnableButtons(FALSE);
    UpdateState.copied_count = 0;
    LogPrintf(UpdateState.log_text, "コピー開始");
    LogPrintf(UpdateState.log_text, "");
}

void ReportCopyFile(const char* name)
{
    UpdateState.copied_count++;
    LogPrintf(UpdateState.log_text, "%s", name);
}

void ReportCopyEnd(int32_t failed)
{
    EnableButtons(TRUE);
    LogPrintf(UpdateState.log_text, "");
    if (failed != 0) {
        LogPrintf(UpdateState.log_text, "[%d]個のファイルのコピーに失敗しました", failed);
        LogPrintf(UpdateState.log_text, "アップデートは正常に終了しませんでした。");
        LogPrintf(UpdateState.log_text,
                  "※アップデート先のファイルに書込み禁止属性が付いているか、アンインストール、"
                  "あるいは移動されている可能性があります。");
        LogPrintf(UpdateState.log_text, "　正規の手順でインストールを行いその後にアップデートしてください。");
    } else {
        LogPrintf(UpdateState.log_text, "[%d]個のファイルをコピーしました。", UpdateState.copied_count);
        LogPrintf(UpdateState.log_text, "アップデート終了");
    }
}

// Appends line and CR LF to log (LogTextSize bytes). When they do not fit,
// whole lines are dropped from the log's beginning first, so the newest lines
// always remain.
static void AppendLogLine(char* log, const char* line)
{
    size_t len = strlen(log);
    size_t add = strlen(line) + 2;
    size_t room = LogTextSize - 1;
    if (len + add > room) {
        size_t drop = len + add - room;
        // The first line boundary at or after drop: the byte after a CR LF.
        const char* cut = drop >= 2 ? strstr(log + drop - 2, "\r\n") : strstr(log, "\r\n");
        size_t start = cut ? (size_t)(cut - log) + 2 : len;
        memmove(log, log + start, len - start + 1);
        len -= start;
    }
    memcpy(log + len, line, add - 2);
    memcpy(log + len + add - 2, "\r\n", 3);
}

int LogPrintf(char* target, const char* format, ...)
{
    char formatted[1024];  // the platform formatter writes up to 1,024 bytes
    char buf[LogLineSize];
    if (!target)
        target = UpdateState.log_text;
    va_list args;
    va_start(args, format);
    wvsprintfA(formatted, format, args);
    va_end(args);
    DbcsCopyCut(buf, sizeof buf, formatted);
    AppendLogLine(target, buf);
    int rc = SetDlgItemTextA(UpdateState.dialog, IDC_LOG, target);
    // Keep the newest line, and so the closing summary, in view.
    SendDlgItemMessageA(UpdateState.dialog, IDC_LOG, WM_VSCROLL, SB_BOTTOM, 0);
    return rc;
}
