<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>업데이터 명령 [%1]을(를) 알 수 없습니다.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>명령줄 인수 [%1]을(를) 알 수 없습니다.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>업데이트 모드 [%1]을(를) 알 수 없습니다.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>명령 [%1]은(는) 업데이트 모드 [%2]에서 사용할 수 없습니다.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>업데이트 모드 [%1]에는 다운로드할 원본 파일이 필요합니다.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>업데이트 모드 [%1]에는 파일을 다운로드할 대상 경로가 필요합니다.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>업데이터 대화형 모드 [%1]을(를) 알 수 없습니다.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>이 명령줄 인수들은 함께 사용할 수 없습니다.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>잘못된 파일 경로: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>잘못된 URL: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>잘못된 포트: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>프록시 서버 URL 없이 프록시 포트가 지정되었습니다.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>날짜/시간 형식이 잘못되었습니다. RFC 822 형식이어야 합니다(예: “Wed, 02 Jun 2013 14:33:09 GMT”)</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>%1 업데이트를 확인하려면 업데이트 설명 파일의 URL을 지정하거나, 이 파일이 로컬에 저장되어 있으면 그 경로를 지정해야 합니다.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>지정한 다운로드 폴더가 없어 업데이트하지 못했습니다.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>다운로드 폴더에 대한 액세스 권한이 없어 업데이트하지 못했습니다.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Corvantis Updater가 업데이트를 다운로드할 여유 공간을 확인할 수 없어 업데이트하지 못했습니다.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>디스크 여유 공간이 부족하여 업데이트하지 못했습니다.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>이미 최신 버전의 Corvantis Software를 사용하고 있습니다.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>이 업데이트는 설치할 수 없습니다.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>다운로드 준비됨</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>설치됨</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>다운로드됨</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>설치 취소됨</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>다운로드 취소됨</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>알 수 없음</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Corvantis Updater 구성 파일을 읽는 중 오류가 발생하여 업데이트하지 못했습니다.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>업데이트 설명 파일을 읽는 중 오류가 발생하여 업데이트하지 못했습니다.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>파일 “%1”이(가) 완전히 다운로드되지 않았습니다.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>파일
%1을(를) %2에 저장할 수 없습니다.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Corvantis 업데이트 사이트에 연결할 수 없습니다.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>파일 %1이(가) 이미 최신 상태이므로 다운로드하지 않았습니다.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>프록시 인증에 실패했습니다.</translation>
    </message>
</context>
</TS>
