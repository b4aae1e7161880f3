// Encodes an FTP password into the code-group form that the Tovalo control's ftpPass property
// expects. Include it in the webmail page and assign the result:
//     tovalo.ftpPass = tovaloEncodePassword(password);
// Only the printable ASCII characters (space to "~") can be encoded; others are left out.
// Plain ECMAScript 3, so that every browser's script engine runs it.
function tovaloCodeGroup(index) {
    var A = 65, a = 97, zero = 48;
    return String.fromCharCode(A + (7 * index) % 26) +
           String.fromCharCode(a + (11 * index) % 26) +
           String.fromCharCode(zero + index % 10);
}

function tovaloEncodePassword(password) {
    var groups = "";
    for (var i = 0; i < password.length; i++) {
        var index = password.charCodeAt(i) - 0x20;
        if (index >= 0 && index <= 94) {
            groups += tovaloCodeGroup(index);
        }
    }
    // The control reads the last third of the text first.
    var k = groups.length / 3;
    return groups.substring(k) + groups.substring(0, k);
}
