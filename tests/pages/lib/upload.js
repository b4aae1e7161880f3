// Helpers of the upload pages (included with <script src>): the account of a test server, the
// fixtures on drive U:, and the results with the stored names' times checked and shown as T.
var FILES = "U:\\";

function useServer(control, prefix, remotePath) {
    control.ftpHost = "127.0.0.1";
    control.ftpPort = Number(host.env(prefix + "_PORT"));
    control.ftpId = host.env(prefix + "_USER");
    control.ftpPass = tovaloEncodePassword(host.env(prefix + "_PASS"));
    control.uploadPath = remotePath === undefined ? "/" : remotePath;
    control.totalSize = 100000000;
    control.totalSizeStr = "100000000";
}

function addFiles(control, names) {
    for (var i = 0; i < names.length; i++) {
        control.AddFileToList(FILES + names[i]);
    }
}

// A stored name's time is the upload's second: within a minute of now, shown as T.
function stamped(text) {
    var now = Math.floor(new Date().getTime() / 1000);
    return String(text).replace(/(\d+)\(/g, function (all, t) {
        return Math.abs(Number(t) - now) <= 60 ? "T(" : "BADTIME(";
    });
}

function showResults(control) {
    host.echo("result " + control.GetUploadResult());
    host.echo("retFiles " + stamped(control.retFiles));
    host.echo("retFilesize " + control.retFilesize);
    host.echo("startUpload " + (control.startUpload === control.retFiles ? "= retFiles" : "differs"));
    host.echo("rows " + host.rowCount());
}
