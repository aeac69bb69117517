// Answers by host, for the proxy source tests.
function FindProxyForURL(url, host) {
    if (dnsDomainIs(host, "socks.example"))
        return "SOCKS 127.0.0.5:1080; PROXY 127.0.0.7:81; DIRECT";
    if (host == "direct.example")
        return "DIRECT";
    if (host == "throw.example")
        throw new Error("no proxy for you");
    if (host == "nonsense.example")
        return "PROXY";
    if (host == "loop.example")
        for (;;) {}
    return "PROXY 127.0.0.9:3128";
}
