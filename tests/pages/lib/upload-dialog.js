// The upload dialog as a user and a screen reader meet it (included by the upload-dialog pages,
// one per DPI, after lib/upload.js): at its start and after a failed logon, with the log buttons
// and without. The server refuses the password, so the dialog waits for "종료".
var dir = host.winPath(host.env("TOVALO_PAGE_SCRATCH")) + "\\dialog";
useServer(tovalo, "TOVALO_FTP");
tovalo.ftpPass = tovaloEncodePassword("wrong-password");
tovalo.AddFileToList(host.makeFile(dir + "\\a.xyz", 100));
var labels = {"206": "S", "205": "L", "207": "종료", "202": "status", "203": "file bar", "201": "total bar",
              "208": "rate", "204": "log"};

function controls() {
    var found = {client: null, tab: [], focus: ""};
    var lines = host.uploadControls().split("\n");
    for (var i = 0; i < lines.length; i++) {
        var m = /^(\d+) \S+ (shown|hidden) (-?\d+),(-?\d+),(\d+),(\d+) name=\[(.*)\] description=\[(.*)\]/.exec(lines[i]);
        if (m) {
            found[m[1]] = {shown: m[2] == "shown", left: +m[3], top: +m[4], right: +m[3] + +m[5], bottom: +m[4] + +m[6],
                           name: m[7], description: m[8]};
        } else if (/^client /.test(lines[i])) {
            var size = lines[i].substr(7).split(",");
            found.client = {width: +size[0], height: +size[1]};
        } else if (/^tab:/.test(lines[i])) {
            var ids = lines[i].substr(4).split(" ");
            for (var j = 0; j < ids.length; j++) if (ids[j]) found.tab.push(labels[ids[j]] || ids[j]);
        } else if (/^focus: /.test(lines[i])) {
            found.focus = labels[lines[i].substr(7)] || lines[i].substr(7);
        }
    }
    return found;
}

function overlaps(a, b) { return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom; }

function describe(label) {
    var c = controls();
    var status = c["202"], under = [];
    var buttons = ["206", "205", "207"];
    for (var i = 0; i < buttons.length; i++) {
        if (c[buttons[i]].shown && overlaps(status, c[buttons[i]])) under.push(labels[buttons[i]]);
    }
    var shown = [];
    for (i = 0; i < buttons.length; i++) if (c[buttons[i]].shown) shown.push(labels[buttons[i]]);
    host.echo(label + ": buttons shown [" + shown.join(" ") + "], status line under [" + under.join(" ") +
              "], focus " + c.focus + ", tab [" + c.tab.join(" ") + "]");
    if (c["206"].shown) {
        host.echo("  the status line ends " + (c["206"].left - status.right) + " px before S, " +
                  (c["206"].right - c["206"].left) + " px wide");
    }
    var log = c["204"];
    host.echo("  log " + (log.shown ? "shown, " + (log.bottom <= c.client.height ? "whole" : "CUT") :
                          "folded away: " + (log.top >= c.client.height - 2 ? "out of sight" : "STILL SEEN")));
    return c;
}

function names(c) {
    var ids = ["206", "205", "207", "203", "201", "204", "202"];
    for (var i = 0; i < ids.length; i++) {
        host.echo("  " + labels[ids[i]] + ": [" + c[ids[i]].name + "] [" + c[ids[i]].description + "]");
    }
}

host.echo("dpi " + host.dpi());
host.echo("-- with the log buttons");
tovalo.SetShowLogButton(1);
host.onStatus("Session Connecting...", function () { names(describe("start")); });
host.onStatus("Session Connect Error.", function () { describe("failed"); });
host.onStatus("Session Connect Error.", "log");
host.onStatus("Session Connect Error.", function () {
    host.pump(200);  // the click on "L" comes as a posted message
    names(describe("log unfolded"));
});
host.onStatus("Session Connect Error.", "end");
tovalo.startUpload = "start";
host.echo("spoken: " + host.uploadSpoken());

host.echo("-- without them");
tovalo.SetShowLogButton(0);
host.onStatus("Session Connecting...", function () { describe("start"); });
host.onStatus("Session Connect Error.", function () { describe("failed"); });
host.onStatus("Session Connect Error.", "end");
tovalo.startUpload = "start";
host.echo("spoken: " + host.uploadSpoken());
