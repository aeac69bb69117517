<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>アップデーターのコマンド [%1] は不明です。</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>コマンドライン引数 [%1] は不明です。</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>更新モード [%1] は不明です。</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>コマンド [%1] は更新モード [%2] では使用できません。</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>更新モード [%1] では、ダウンロードするソースファイルを指定する必要があります。</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>更新モード [%1] では、ファイルのダウンロード先のパスを指定する必要があります。</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>アップデーターの対話モード [%1] は不明です。</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>これらのコマンドライン引数は同時に使用できません。</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>無効なファイルパス: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>無効な URL: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>無効なポート: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>プロキシサーバーの URL を指定せずにプロキシポートが指定されています。</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>日時の形式が正しくありません。RFC 822 形式で指定してください（例：「Wed, 02 Jun 2013 14:33:09 GMT」）</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>%1 の更新を確認するには、更新情報ファイルの URL を指定するか、このファイルがローカルに保存されている場合はそのパスを指定する必要があります。</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>指定されたダウンロードフォルダーが存在しないため、更新に失敗しました。</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>ダウンロードフォルダーへのアクセス権がないため、更新に失敗しました。</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Corvantis Updater が更新のダウンロードに使用できる空き容量を取得できないため、更新に失敗しました。</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>ディスクの空き容量が不足しているため、更新に失敗しました。</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>お使いの Corvantis Software は最新バージョンです。</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>この更新はインストールできません。</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>ダウンロード可能</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>インストール済み</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>ダウンロード済み</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>インストール中止</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>ダウンロード中止</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>不明</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Corvantis Updater の設定ファイルの読み込み中にエラーが発生したため、更新に失敗しました。</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>更新情報ファイルの読み込み中にエラーが発生したため、更新に失敗しました。</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>ファイル「%1」は完全にはダウンロードされませんでした。</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>ファイル
%1 を %2 に保存できません。
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Corvantis の更新サイトに接続できません。</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>ファイル %1 は最新の状態のため、ダウンロードされませんでした。</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>プロキシの認証に失敗しました。</translation>
    </message>
</context>
</TS>
