// Helper functions that proxy auto-configuration scripts expect to find.
// Name look-ups go through the native object __kvrPac, which bounds them by the query's deadline
// and never looks up an address literal.

function isPlainHostName(host) {
    return String(host).indexOf('.') < 0;
}

function dnsDomainIs(host, domain) {
    host = String(host).toLowerCase();
    domain = String(domain).toLowerCase();
    return host.length >= domain.length && host.substring(host.length - domain.length) === domain;
}

function localHostOrDomainIs(host, hostdom) {
    host = String(host).toLowerCase();
    hostdom = String(hostdom).toLowerCase();
    if (host === hostdom)
        return true;
    return host.indexOf('.') < 0 && hostdom.indexOf(host + '.') === 0;
}

function dnsResolve(host) {
    var address = __kvrPac.resolve(String(host));
    return address === '' ? null : address;
}

function isResolvable(host) {
    return dnsResolve(host) !== null;
}

function myIpAddress() {
    return __kvrPac.myIpAddress();
}

function dnsDomainLevels(host) {
    var parts = String(host).split('.');
    return parts.length - 1;
}

function __kvrIp4(text) {
    var m = /^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})$/.exec(String(text));
    if (!m)
        return null;
    var value = 0;
    for (var i = 1; i <= 4; ++i) {
        var n = Number(m[i]);
        if (n > 255)
            return null;
        value = value * 256 + n;
    }
    return value;
}

function isInNet(host, pattern, mask) {
    var address = __kvrIp4(host);
    if (address === null) {
        var resolved = dnsResolve(host);
        address = resolved === null ? null : __kvrIp4(resolved);
    }
    var p = __kvrIp4(pattern);
    var m = __kvrIp4(mask);
    if (address === null || p === null || m === null)
        return false;
    // Bitwise operators work on signed 32-bit values; compare both sides the same way.
    return (address & m) === (p & m);
}

function shExpMatch(str, shexp) {
    var source = '^';
    shexp = String(shexp);
    for (var i = 0; i < shexp.length; ++i) {
        var c = shexp.charAt(i);
        if (c === '*')
            source += '.*';
        else if (c === '?')
            source += '.';
        else
            source += c.replace(/[\\^$.|+()\[\]{}]/g, '\\$&');
    }
    return new RegExp(source + '$').test(String(str));
}

// The time arguments of weekdayRange, dateRange and timeRange may end with "GMT".
function __kvrArgs(args) {
    var list = Array.prototype.slice.call(args);
    var gmt = list.length > 0 && list[list.length - 1] === 'GMT';
    if (gmt)
        list.pop();
    return { list: list, now: new Date(), gmt: gmt };
}

var __kvrDays = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
var __kvrMonths = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];

function weekdayRange() {
    var a = __kvrArgs(arguments);
    var today = a.gmt ? a.now.getUTCDay() : a.now.getDay();
    var first = __kvrDays.indexOf(String(a.list[0]));
    if (first < 0)
        return false;
    if (a.list.length < 2)
        return today === first;
    var last = __kvrDays.indexOf(String(a.list[1]));
    if (last < 0)
        return false;
    return first <= last ? today >= first && today <= last : today >= first || today <= last;
}

// A date as a comparable number from the fields given; absent fields take today's value.
function __kvrDateKey(year, month, day) {
    return (year * 12 + month) * 32 + day;
}

function dateRange() {
    var a = __kvrArgs(arguments);
    var now = a.now, gmt = a.gmt;
    var today = {
        day: gmt ? now.getUTCDate() : now.getDate(),
        month: gmt ? now.getUTCMonth() : now.getMonth(),
        year: gmt ? now.getUTCFullYear() : now.getFullYear()
    };
    // Each argument is a day (1-31), a month name or a year (four digits).
    var fields = a.list.map(function (v) {
        if (typeof v === 'string')
            return { kind: 'month', value: __kvrMonths.indexOf(v) };
        return v > 31 ? { kind: 'year', value: v } : { kind: 'day', value: v };
    });
    if (fields.length === 0 || fields.some(function (f) { return f.value < 0; }))
        return false;
    var half = fields.length === 1 ? 1 : fields.length / 2;
    if (fields.length > 1 && fields.length % 2 !== 0)
        return false;
    var from = fields.slice(0, half), to = fields.length === 1 ? from : fields.slice(half);
    function key(part, fallbackDay) {
        var d = { day: fallbackDay, month: today.month, year: today.year };
        var hasDay = false, hasMonth = false;
        part.forEach(function (f) {
            d[f.kind] = f.value;
            hasDay = hasDay || f.kind === 'day';
            hasMonth = hasMonth || f.kind === 'month';
        });
        if (!hasDay && !hasMonth)
            return [__kvrDateKey(d.year, 0, fallbackDay), __kvrDateKey(d.year, 11, fallbackDay)];
        if (!hasDay)
            return [__kvrDateKey(d.year, d.month, 1), __kvrDateKey(d.year, d.month, 31)];
        return [__kvrDateKey(d.year, d.month, d.day), __kvrDateKey(d.year, d.month, d.day)];
    }
    var lower = key(from, 1)[0], upper = key(to, 31)[1];
    var current = __kvrDateKey(today.year, today.month, today.day);
    if (lower <= upper)
        return current >= lower && current <= upper;
    return current >= lower || current <= upper;
}

function timeRange() {
    var a = __kvrArgs(arguments);
    var now = a.now, gmt = a.gmt, v = a.list.map(Number);
    var seconds = (gmt ? now.getUTCHours() : now.getHours()) * 3600
        + (gmt ? now.getUTCMinutes() : now.getMinutes()) * 60 + (gmt ? now.getUTCSeconds() : now.getSeconds());
    var from, to;
    if (v.length === 1) {
        from = v[0] * 3600;
        to = from + 3599;
    } else if (v.length === 2) {
        from = v[0] * 3600;
        to = v[1] * 3600 - 1;
    } else if (v.length === 4) {
        from = v[0] * 3600 + v[1] * 60;
        to = v[2] * 3600 + v[3] * 60 + 59;
    } else if (v.length === 6) {
        from = v[0] * 3600 + v[1] * 60 + v[2];
        to = v[3] * 3600 + v[4] * 60 + v[5];
    } else {
        return false;
    }
    if (from <= to)
        return seconds >= from && seconds <= to;
    return seconds >= from || seconds <= to;
}
