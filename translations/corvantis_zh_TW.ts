<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>未知的更新程式命令 [%1]。</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>未知的命令列引數 [%1]。</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>未知的更新模式 [%1]。</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>命令 [%1] 不能用於更新模式 [%2]。</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>更新模式 [%1] 需要指定要下載的來源檔案。</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>更新模式 [%1] 需要指定檔案下載的目標路徑。</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>未知的更新程式互動模式 [%1]。</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>這些命令列引數不能同時使用。</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>無效的檔案路徑：[%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>無效的 URL：[%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>無效的連接埠：[%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>指定了代理伺服器連接埠，但未指定代理伺服器 URL。</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>日期時間格式不正確：必須符合 RFC 822，例如「Wed, 02 Jun 2013 14:33:09 GMT」</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>若要檢查 %1 的更新，必須指定更新描述檔的 URL；若該檔案儲存在本機，則指定其路徑。</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>更新失敗，因為指定的下載資料夾不存在。</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>更新失敗，因為您沒有下載資料夾的存取權限。</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>更新失敗，因為 Corvantis Updater 無法取得可用於下載更新的磁碟空間大小。</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>更新失敗，因為磁碟可用空間不足。</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>您已在使用最新版本的 Corvantis Software。</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>無法安裝此更新。</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>已準備好下載</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>已安裝</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>已下載</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>已取消安裝</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>已取消下載</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>未知</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>更新失敗，因為讀取 Corvantis Updater 設定檔時發生錯誤。</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>更新失敗，因為讀取更新描述檔時發生錯誤。</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>檔案「%1」未完整下載。</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>無法將檔案
%1 儲存到 %2。
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>無法連線到 Corvantis 更新網站。</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>檔案 %1 已是最新版本，因此未下載。</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>代理伺服器驗證失敗。</translation>
    </message>
</context>
</TS>
