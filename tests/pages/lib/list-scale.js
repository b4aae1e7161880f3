// The list at the display's scale (included by the iconsets-scale pages, one per DPI): column
// widths, the header's titles and the size-category icons grow with the text, and a cut name can
// be read whole in its tip. What it prints holds for every scale; the figures differ.
var dir = host.winPath(host.env("TOVALO_PAGE_SCRATCH")) + "\\scale";
var long = "가나다라마바사아자차카타파하 보고서 최종본 2026년 12월.xyz";
tovalo.AddFileToList(host.makeFile(dir + "\\small.xyz", 100));
tovalo.AddFileToList(host.makeFile(dir + "\\" + long, 180000));
var scale = host.dpi() / 96;
host.echo("dpi " + host.dpi());

tovalo.ChangeIconSet(1);
host.echo("icon view: size icons " + host.imageSize());
tovalo.ChangeListView(1);
host.pump(100);
host.echo("report view: size icons " + host.imageSize());
var widths = [host.columnWidth(0), host.columnWidth(1), host.columnWidth(2)];
host.echo("column widths " + widths.join(" ") + ", at 96 dpi " + [220, 150, 100].join(" ") +
          " times " + scale + ": " + (widths[0] == Math.round(220 * scale) && widths[1] == Math.round(150 * scale) &&
                                      widths[2] == Math.round(100 * scale) ? "yes" : "NO"));
// The largest size text the column shows fits in it, as it does at 96 DPI.
var sizeText = host.textWidth("1024.0 KBytes");
host.echo("\"1024.0 KBytes\" fits the size column: " + (sizeText + 12 <= widths[2] ? "yes" : "NO (" + sizeText + ")"));
// The titles' ink grows with the scale: 12-pixel glyphs at 96 DPI stand 8 to 11 rows high.
var ink = host.headerInk(0);
host.echo("title ink " + ink + " rows, " + (ink >= 8 * scale && ink <= 11 * scale ? "as the scale makes it" : "NOT SCALED"));
// The long name is cut in its column; its tip shows it whole, and its path.
var nameWidth = host.textWidth(long);
host.echo("long name " + (nameWidth > widths[0] ? "cut" : "whole") + " in its column; tip: " +
          host.infoTip(0).replace(dir, "DIR").replace("\n", " | "));
