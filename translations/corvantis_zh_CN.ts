<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>未知的更新程序命令 [%1]。</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>未知的命令行参数 [%1]。</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>未知的更新模式 [%1]。</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>命令 [%1] 不能用于更新模式 [%2]。</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>更新模式 [%1] 需要指定要下载的源文件。</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>更新模式 [%1] 需要指定文件下载的目标路径。</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>未知的更新程序交互模式 [%1]。</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>这些命令行参数不能同时使用。</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>无效的文件路径：[%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>无效的 URL：[%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>无效的端口：[%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>指定了代理端口，但未指定代理服务器 URL。</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>日期时间格式不正确：必须符合 RFC 822，例如“Wed, 02 Jun 2013 14:33:09 GMT”</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>要检查 %1 的更新，必须指定更新描述文件的 URL；如果该文件保存在本地，则指定其路径。</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>更新失败，因为指定的下载文件夹不存在。</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>更新失败，因为您没有下载文件夹的访问权限。</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>更新失败，因为 Corvantis Updater 无法获取可用于下载更新的磁盘空间大小。</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>更新失败，因为磁盘可用空间不足。</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>您已在使用最新版本的 Corvantis Software。</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>无法安装此更新。</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>已准备好下载</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>已安装</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>已下载</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>已取消安装</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>已取消下载</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>未知</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>更新失败，因为读取 Corvantis Updater 配置文件时出错。</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>更新失败，因为读取更新描述文件时出错。</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>文件“%1”未完整下载。</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>无法将文件
%1 保存到 %2。
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>无法连接到 Corvantis 更新站点。</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>文件 %1 已是最新，因此未下载。</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>代理身份验证失败。</translation>
    </message>
</context>
</TS>
