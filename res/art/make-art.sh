#!/bin/bash
# Draws every image the uninstaller embeds, at its exact size and slice count.
# The outputs are committed next to this script so that a build needs no image
# tools; run it again only after changing the artwork:  bash res/art/make-art.sh
#
# Needs ImageMagick 6 and the fonts-wqy-microhei and fonts-liberation packages.
# Output bytes are stable from run to run on the same ImageMagick: metadata,
# timestamps and every optional PNG chunk are left out.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
OUT=$HERE
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# Some machines put a wrapper called convert in front of ImageMagick; call the
# real binary when it is there.
IM=convert
for c in /usr/bin/convert-im6.q16 /usr/bin/convert-im6 /usr/bin/convert; do
  if [ -x "$c" ]; then IM=$c; break; fi
done

CJK=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
LATIN=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
for f in "$CJK" "$LATIN"; do
  [ -f "$f" ] || { echo "missing font $f" >&2; exit 1; }
done

# Palette (the styles of the text drawn by code use the same values).
BLUE='#2F7CF6'        # brand, primary buttons, progress bar
BLUE_HOVER='#4B90F8'
BLUE_PUSH='#2266D6'
BLUE_DEEP='#2563DE'   # banner gradient, left
SKY='#45A8F0'         # banner gradient, right
AMBER='#FFB84D'       # the spark of the mark
INK='#2B3240'         # dark text and glyphs
GREY='#8C939E'        # idle glyphs
LINE='#D3D8E0'        # borders of white buttons
TRACK='#E4E9F0'       # progress track
GREEN='#22B573'       # "done" badge

# Drawing happens at SS times the final size and is reduced with an exact box
# average, which gives even anti-aliasing on every curve and diagonal.
SS=4

im() { "$IM" "$@"; }

# png IN OUT: writes OUT as 8-bit RGBA (or RGB when opaque) without ancillary chunks.
png() {
  im "$1" -strip -depth 8 -define png:exclude-chunks=all -define png:compression-level=9 \
     -define png:compression-strategy=1 -define png:compression-filter=5 "PNG32:$2"
}

jpg() {
  im "$1" -strip -background white -alpha remove -alpha off -colorspace sRGB \
     -sampling-factor 1x1 -quality 88 -interlace none "$2"
}

# down IN OUT W H: box-reduce a supersampled drawing to W x H.
down() {
  im "$1" -filter Box -resize "${3}x${4}!" "$2"
}

# Rounded rectangle path, at supersampled scale, inset by half a final pixel so
# the outer edge lands on the pixel grid.
rrect() { # x0 y0 x1 y1 r
  echo "roundrectangle $1,$2 $3,$4 $5,$5"
}

# ---------------------------------------------------------------- the mark ---
# The product's mark on a 100-unit canvas: a lens ring with a spark of light.
# mark_glyph SIZE RING_COLOUR SPARK_COLOUR OUT  (transparent background)
mark_glyph() {
  local s=$1 ring=$2 spark=$3 out=$4 k
  k=$(awk -v s="$s" 'BEGIN{printf "%.4f", s/100}')
  # Ring: centre (44,56), radius 25, stroke 11.
  # Spark: four-point star at (72,28), outer 17, waist 4.6.
  local star
  star=$(awk -v k="$k" 'BEGIN{
    cx=72; cy=28; R=17; r=4.6; pi=3.14159265358979;
    p="";
    for(i=0;i<8;i++){ a=-pi/2+i*pi/4; d=(i%2==0)?R:r;
      p=p sprintf("%.2f,%.2f ", k*(cx+d*cos(a)), k*(cy+d*sin(a))); }
    print p }')
  im -size "${s}x${s}" xc:none \
     -fill none -stroke "$ring" -strokewidth "$(awk -v k="$k" 'BEGIN{print 11*k}')" \
     -draw "circle $(awk -v k="$k" 'BEGIN{printf "%.2f,%.2f %.2f,%.2f", 44*k,56*k,44*k,(56-25)*k}')" \
     -stroke none -fill "$spark" -draw "polygon $star" \
     "$out"
}

# Tile mark: rounded square in BG_TOP..BG_BOTTOM with the glyph inside.
# mark_tile SIZE OUT BG_TOP BG_BOTTOM RING SPARK
mark_tile() {
  local s=$1 out=$2 top=$3 bottom=$4 ring=$5 spark=$6
  local S=$((s * SS))
  local r=$((S * 22 / 100)) g=$((S * 74 / 100)) o=$((S * 13 / 100))
  mark_glyph "$g" "$ring" "$spark" "$TMP/tile_glyph.png"
  im -size "${S}x${S}" gradient:"$top"-"$bottom" -alpha set \
     \( -size "${S}x${S}" xc:none -fill white -draw "$(rrect 0 0 $((S - 1)) $((S - 1)) $r)" \) \
     -compose DstIn -composite -compose Over \
     "$TMP/tile_glyph.png" -geometry "+$o+$o" -composite \
     "$TMP/tile_big.png"
  down "$TMP/tile_big.png" "$out" "$s" "$s"
}

# ----------------------------------------------------------------- banners ---
# banner_bg W H OUT: calm diagonal gradient with a few faint circles of light.
banner_bg() {
  local w=$1 h=$2 out=$3
  im -size "${w}x${h}" xc: -sparse-color Barycentric "0,0 $BLUE_DEEP $w,$h $SKY" \
     \( -size "${w}x${h}" xc:none \
        -fill 'rgba(255,255,255,0.07)' -draw "circle 470,-10 470,160" \
        -fill 'rgba(255,255,255,0.05)' -draw "circle 40,250 40,390" \
        -fill 'rgba(255,255,255,0.06)' -draw "circle 520,250 520,330" \
        -fill none -stroke 'rgba(255,255,255,0.13)' -strokewidth 1.2 \
        -draw "circle 470,-10 470,200" -draw "circle 40,250 40,420" \
        -blur 0x0.6 \) -composite \
     "$out"
}

# White tile with the blue mark and a soft shadow, SIZE px, on transparent.
banner_mark() {
  local s=$1 out=$2
  mark_tile "$s" "$TMP/bm_tile.png" '#FFFFFF' '#EEF4FE' "$BLUE" "$AMBER"
  local pad=16
  im "$TMP/bm_tile.png" -background none -gravity center -extent $((s + 2 * pad))x$((s + 2 * pad)) \
     \( +clone -alpha extract -background black -alpha shape -channel A -evaluate multiply 0.28 +channel \
        -blur 0x6 -roll +0+4 \) +swap -compose Over -composite "$out"
}

# Check badge for the farewell banner.
done_badge() {
  local s=$1 out=$2 S=$(($1 * SS))
  local c=$((S / 2))
  im -size "${S}x${S}" xc:none \
     -fill white -draw "circle $c,$c $c,1" \
     -fill "$GREEN" -draw "circle $c,$c $c,$((S * 12 / 100))" \
     -fill none -stroke white -strokewidth $((S * 11 / 100)) \
     -draw "stroke-linecap round stroke-linejoin round polyline $((S * 29 / 100)),$((S * 52 / 100)) $((S * 44 / 100)),$((S * 66 / 100)) $((S * 71 / 100)),$((S * 37 / 100))" \
     "$TMP/badge_big.png"
  down "$TMP/badge_big.png" "$out" "$s" "$s"
}

make_banners() {
  local w=530
  banner_mark 76 "$TMP/mark76.png"       # 108 x 108 with its shadow

  # Welcome banner, 262 high (the layout shows its top 260 rows).
  banner_bg $w 262 "$TMP/bg0.png"
  im "$TMP/bg0.png" \
     "$TMP/mark76.png" -geometry +$(((w - 108) / 2))+26 -composite \
     -gravity north -font "$LATIN" -pointsize 32 -kerning 0.8 -fill white \
     -annotate +0+142 'Lumenox' \
     -font "$CJK" -pointsize 15 -kerning 1.5 -fill 'rgba(255,255,255,0.86)' \
     -annotate +0+190 '轻快、纯净的看图工具' \
     "$TMP/banner0.png"
  jpg "$TMP/banner0.png" "$OUT/mainbg_banner0.jpg"

  # Farewell banner, 260 high: the mark with a check, and a goodbye.
  banner_bg $w 260 "$TMP/bg1.png"
  done_badge 28 "$TMP/badge.png"
  im "$TMP/bg1.png" \
     "$TMP/mark76.png" -geometry +$(((w - 108) / 2))+26 -composite \
     "$TMP/badge.png" -geometry +$(((w - 108) / 2 + 16 + 76 - 20))+$((26 + 16 + 76 - 22)) -composite \
     -gravity north -font "$CJK" -pointsize 26 -kerning 2 -fill white -stroke white -strokewidth 0.6 \
     -annotate +0+141 '卸载完成' \
     -stroke none -pointsize 15 -kerning 1 -fill 'rgba(255,255,255,0.86)' \
     -annotate +0+190 '感谢您一直以来的陪伴，再见！' \
     "$TMP/banner1.png"
  jpg "$TMP/banner1.png" "$OUT/mainbg_banner_finish.jpg"
}

# ----------------------------------------------------------------- buttons ---
# One button state, W x H, filled TOP..BOTTOM, 1px border BORDER (or none),
# caption TEXT in TEXTCOLOUR nudged down by DY pixels.
# button_state W H TOP BOTTOM BORDER TEXT TEXTCOLOUR DY RADIUS POINTS OUT
button_state() {
  local w=$1 h=$2 top=$3 bottom=$4 border=$5 text=$6 tc=$7 dy=$8 rad=$9 pts=${10} out=${11}
  local W=$((w * SS)) H=$((h * SS)) R=$((rad * SS))
  local shape
  shape=$(rrect $((SS / 2)) $((SS / 2)) $((W - SS / 2 - 1)) $((H - SS / 2 - 1)) "$R")
  im -size "${W}x${H}" gradient:"$top"-"$bottom" -alpha set \
     \( -size "${W}x${H}" xc:none -fill white -draw "$shape" \) \
     -compose DstIn -composite -compose Over "$TMP/btn_fill.png"
  if [ "$border" != none ]; then
    im "$TMP/btn_fill.png" -fill none -stroke "$border" -strokewidth "$SS" -draw "$shape" "$TMP/btn_fill.png"
  fi
  down "$TMP/btn_fill.png" "$TMP/btn_small.png" "$w" "$h"
  if [ -n "$text" ]; then
    # Captions are drawn at final size so the glyphs keep the font's own hinting;
    # a hair of stroke gives the single-weight face a medium weight.
    im "$TMP/btn_small.png" -gravity center -font "$CJK" -pointsize "$pts" -kerning 3 \
       -fill "$tc" -stroke "$tc" -strokewidth 0.35 -annotate "+1+$((dy))" "$text" "$out"
  else
    cp "$TMP/btn_small.png" "$out"
  fi
}

# three_slices OUT A B C: normal, hover, pushed side by side.
three_slices() {
  local out=$1; shift
  im "$@" +append "$out"
}

primary_button() { # W TEXT OUT
  local w=$1 text=$2 out=$3
  button_state "$w" 50 '#3D87F8' "$BLUE"       none "$text" white 0 6 18 "$TMP/p0.png"
  button_state "$w" 50 '#5C9CFA' "$BLUE_HOVER" none "$text" white 0 6 18 "$TMP/p1.png"
  button_state "$w" 50 "$BLUE_PUSH" '#2A6FE0'  none "$text" '#E8F0FF' 1 6 18 "$TMP/p2.png"
  three_slices "$TMP/pr.png" "$TMP/p0.png" "$TMP/p1.png" "$TMP/p2.png"
  png "$TMP/pr.png" "$out"
}

secondary_button() { # W TEXT OUT
  local w=$1 text=$2 out=$3
  button_state "$w" 50 '#FFFFFF' '#FAFBFC' "$LINE"     "$text" '#4A5262' 0 6 18 "$TMP/s0.png"
  button_state "$w" 50 '#F4F8FF' '#EEF4FE' "$BLUE"     "$text" "$BLUE"   0 6 18 "$TMP/s1.png"
  button_state "$w" 50 '#E3EDFD' '#E8F0FE' "$BLUE_PUSH" "$text" "$BLUE_PUSH" 1 6 18 "$TMP/s2.png"
  three_slices "$TMP/se.png" "$TMP/s0.png" "$TMP/s1.png" "$TMP/s2.png"
  png "$TMP/se.png" "$out"
}

make_buttons() {
  primary_button 135 '卸载' "$OUT/uninstallbtn.png"
  secondary_button 135 '取消' "$OUT/uninstallcancel.png"
  primary_button 180 '完成' "$OUT/byebye.png"

  # Message box buttons: captions are text elements drawn by code.
  button_state 82 30 '#FFFFFF' '#FAFBFC' "$LINE"      '' '' 0 4 0 "$TMP/w0.png"
  button_state 82 30 '#F4F8FF' '#EEF4FE' "$BLUE"      '' '' 0 4 0 "$TMP/w1.png"
  button_state 82 30 '#E3EDFD' '#E8F0FE' "$BLUE_PUSH" '' '' 0 4 0 "$TMP/w2.png"
  three_slices "$TMP/w.png" "$TMP/w0.png" "$TMP/w1.png" "$TMP/w2.png"
  png "$TMP/w.png" "$OUT/lite_msg_box_btn_white_middle.png"

  button_state 82 30 '#3D87F8' "$BLUE"       none '' '' 0 4 0 "$TMP/b0.png"
  button_state 82 30 '#5C9CFA' "$BLUE_HOVER" none '' '' 0 4 0 "$TMP/b1.png"
  button_state 82 30 "$BLUE_PUSH" '#2A6FE0'  none '' '' 0 4 0 "$TMP/b2.png"
  three_slices "$TMP/b.png" "$TMP/b0.png" "$TMP/b1.png" "$TMP/b2.png"
  png "$TMP/b.png" "$OUT/lite_msg_box_btn_blue_middle.png"
}

# ------------------------------------------------------------------ glyphs ---
# glyph KIND COLOUR DISC OUT: one 16x16 state; KIND close or minimize; DISC is
# the fill of a round backdrop or none.
glyph() {
  local kind=$1 col=$2 disc=$3 out=$4 S=$((16 * SS))
  local c=$((S / 2)) a=$((S * 31 / 100)) b=$((S * 69 / 100))
  local draw
  if [ "$kind" = close ]; then
    draw="line $a,$a $b,$b line $b,$a $a,$b"
  else
    draw="line $a,$c $b,$c"
  fi
  local backdrop=()
  [ "$disc" = none ] || backdrop=(-fill "$disc" -draw "circle $c,$c $c,0")
  im -size "${S}x${S}" xc:none "${backdrop[@]}" \
     -fill none -stroke "$col" -strokewidth $((SS * 3 / 2)) \
     -draw "stroke-linecap round $draw" "$TMP/g_big.png"
  down "$TMP/g_big.png" "$out" 16 16
}

make_glyphs() {
  # Wizard: white glyphs over the banner.
  for k in close minimize; do
    glyph $k 'rgba(255,255,255,0.85)' none "$TMP/${k}0.png"
    glyph $k white 'rgba(255,255,255,0.22)' "$TMP/${k}1.png"
    glyph $k white 'rgba(255,255,255,0.36)' "$TMP/${k}2.png"
    three_slices "$TMP/$k.png" "$TMP/${k}0.png" "$TMP/${k}1.png" "$TMP/${k}2.png"
    png "$TMP/$k.png" "$OUT/$k.png"
  done
  # Message box: grey glyph on the white header.
  glyph close "$GREY" none "$TMP/m0.png"
  glyph close "$INK" '#EDEFF3' "$TMP/m1.png"
  glyph close "$INK" '#DCE0E6' "$TMP/m2.png"
  three_slices "$TMP/m.png" "$TMP/m0.png" "$TMP/m1.png" "$TMP/m2.png"
  png "$TMP/m.png" "$OUT/lite_detaildlg_closebtn.png"
}

# ---------------------------------------------------------------- progress ---
make_progress() {
  im -size 3x3 xc:"$TRACK" "$TMP/pt.png"
  png "$TMP/pt.png" "$OUT/progressbg.png"
  im -size 3x3 xc:"$BLUE" "$TMP/pb.png"
  png "$TMP/pb.png" "$OUT/progresspos.png"
}

# ------------------------------------------------------------- message box ---
make_msgbox() {
  # Logo, 68 x 15: a small tile and the name.
  mark_tile 15 "$TMP/logo_tile.png" "$BLUE_HOVER" "$BLUE_PUSH" white "$AMBER"
  im -size 68x15 xc:none "$TMP/logo_tile.png" -geometry +0+0 -composite \
     -font "$LATIN" -pointsize 11 -fill "$INK" -gravity west -annotate +18+0 'Lumenox' \
     "$TMP/logo.png"
  png "$TMP/logo.png" "$OUT/lite_img_logo2.png"

  # Icon, 50 x 50: a blue disc with an exclamation mark.
  local S=$((50 * SS))
  local c=$((S / 2))
  im -size "${S}x${S}" gradient:"$BLUE_HOVER"-"$BLUE_PUSH" -alpha set \
     \( -size "${S}x${S}" xc:none -fill white -draw "circle $c,$c $c,$((SS * 2))" \) \
     -compose DstIn -composite -compose Over \
     -fill white -stroke white -strokewidth $((SS * 5)) \
     -draw "stroke-linecap round line $c,$((S * 28 / 100)) $c,$((S * 56 / 100))" \
     -stroke none -draw "circle $c,$((S * 71 / 100)) $c,$((S * 71 / 100 - SS * 3))" \
     "$TMP/icon_big.png"
  down "$TMP/icon_big.png" "$TMP/icon.png" 50 50
  png "$TMP/icon.png" "$OUT/new_msgbox_icon.png"
}

# ------------------------------------------------------------------ shadow ---
# 106 x 106 nine-grid source whose 28-pixel borders lie outside the box. A
# rectangle far larger than the image, reaching 10 pixels beyond the box, is
# blurred so that the whole fall-off happens inside the borders; the image
# keeps the outer bands and a 50-pixel piece of the flat centre, so every edge
# strip has one profile along its length and stretches without seams.
make_shadow() {
  local big=400 m=28 mid=50 reach=10 drop=2
  local gap=$(((big - 2 * m - mid) / 2)) e=$((m - reach))
  im -size ${big}x${big} xc:none -fill 'rgba(0,0,0,0.25)' \
     -draw "rectangle $e,$((e + drop)) $((big - e - 1)),$((big - e - 1 + drop))" \
     -channel A -blur 0x6.5 +channel -gravity NorthWest \
     -chop ${gap}x0+$m+0 -chop ${gap}x0+$((m + mid))+0 \
     -chop 0x${gap}+0+$m -chop 0x${gap}+0+$((m + mid)) +repage "$TMP/shadow.png"
  png "$TMP/shadow.png" "$OUT/cnm_showdow.png"
}

# -------------------------------------------------------------------- icon ---
make_icon() {
  local sizes="256 48 32 24 16" list=()
  for s in $sizes; do
    mark_tile "$s" "$TMP/ico$s.png" "$BLUE_HOVER" "$BLUE_PUSH" white "$AMBER"
    im "$TMP/ico$s.png" -strip "$TMP/ico$s.png"
    list+=("$TMP/ico$s.png")
  done
  # ImageMagick stores the 256 entry as PNG and the small ones as bitmaps.
  im "${list[@]}" -strip -depth 8 -define png:exclude-chunks=all "$OUT/uninst.ico"
}

# ----------------------------------------------------------------- preview ---
# With PREVIEW=file.png: a contact sheet plus mock-ups of both windows, for
# eyes only (texts that code draws are imitated); nothing of it is embedded.
make_preview() {
  local sheet=${PREVIEW:-}
  [ -n "$sheet" ] || return 0
  local bg='#C8CDD4'
  im -background "$bg" \
     "$OUT/uninstallbtn.png" "$OUT/uninstallcancel.png" "$OUT/byebye.png" \
     "$OUT/lite_msg_box_btn_white_middle.png" "$OUT/lite_msg_box_btn_blue_middle.png" \
     \( "$OUT/close.png" "$OUT/minimize.png" "$OUT/lite_detaildlg_closebtn.png" +append -scale 400% \) \
     \( "$OUT/lite_img_logo2.png" -scale 300% \) "$OUT/new_msgbox_icon.png" \
     \( "$OUT/cnm_showdow.png" -scale 200% \) \
     \( "$OUT/progressbg.png" "$OUT/progresspos.png" +append -scale 1000% \) \
     \( "$OUT/uninst.ico[0]" "$OUT/uninst.ico[1]" "$OUT/uninst.ico[2]" "$OUT/uninst.ico[3]" "$OUT/uninst.ico[4]" \
        -background "$bg" -gravity center +append \) \
     -gravity center -bordercolor "$bg" -border 4 -append "$TMP/sheet.png"

  # wizard_mock BANNER PAGE OUT; PAGE is confirm, progress or done.
  wizard_mock() {
    local banner=$1 page=$2 out=$3 body=()
    case $page in
      confirm) body=(\( "$OUT/uninstallbtn.png" -crop 135x50+0+0 +repage \) -geometry +120+305 -composite
                     \( "$OUT/uninstallcancel.png" -crop 135x50+0+0 +repage \) -geometry +275+305 -composite) ;;
      progress) body=(-font "$CJK" -pointsize 12 -fill '#4A5262' -annotate +20+293 '正在卸载：'
                      \( "$OUT/progressbg.png" -scale 490x3! \) -geometry +20+303 -composite
                      \( "$OUT/progresspos.png" -scale 300x3! \) -geometry +20+303 -composite) ;;
      done) body=(\( "$OUT/byebye.png" -crop 180x50+0+0 +repage -resize 185x50! \) -geometry +175+305 -composite) ;;
    esac
    im -size 530x400 xc:white \( "$banner" -crop 530x260+0+0 +repage \) -geometry +0+0 -composite \
       \( "$OUT/close.png" -crop 16x16+0+0 +repage \) -geometry +500+13 -composite \
       "${body[@]}" -fill none -stroke 'rgba(138,138,138,0.4)' -draw 'rectangle 0,0 529,399' "$out"
  }
  wizard_mock "$OUT/mainbg_banner0.jpg" confirm "$TMP/wz1.png"
  wizard_mock "$OUT/mainbg_banner0.jpg" progress "$TMP/wz2.png"
  wizard_mock "$OUT/mainbg_banner_finish.jpg" done "$TMP/wz3.png"

  # Message box over a desktop-like grey, with its shadow spread by nine-grid.
  local W=354 H=180 S=28
  im "$OUT/cnm_showdow.png" \
     \( -clone 0 -crop 28x28+0+0 \) \( -clone 0 -crop 50x28+28+0 -scale ${W}x28! \) \( -clone 0 -crop 28x28+78+0 \) \
     \( -clone 0 -crop 28x50+0+28 -scale 28x${H}! \) \( -size ${W}x${H} xc:none \) \( -clone 0 -crop 28x50+78+28 -scale 28x${H}! \) \
     \( -clone 0 -crop 28x28+0+78 \) \( -clone 0 -crop 50x28+28+78 -scale ${W}x28! \) \( -clone 0 -crop 28x28+78+78 \) \
     -delete 0 +repage \
     \( -clone 0-2 +append \) \( -clone 3-5 +append \) \( -clone 6-8 +append \) -delete 0-8 -background none -append \
     "$TMP/shadow_spread.png"
  im -size $((W + 2 * S + 40))x$((H + 2 * S + 40)) xc:'#EEF1F5' \
     "$TMP/shadow_spread.png" -geometry +20+20 -composite \
     \( -size ${W}x${H} xc:white \
        "$OUT/lite_img_logo2.png" -geometry +10+8 -composite \
        \( "$OUT/lite_detaildlg_closebtn.png" -crop 16x16+0+0 +repage \) -geometry +$((W - 30))+7 -composite \
        "$OUT/new_msgbox_icon.png" -geometry +30+56 -composite \
        -font "$CJK" -pointsize 12 -fill '#2B3240' -annotate +100+$((30 + 25 + 13)) '您已打开Lumenox，继续卸载会关闭' \
        -annotate +100+$((30 + 50 + 13)) '正打开的图片，您确定吗？' \
        \( "$OUT/lite_msg_box_btn_white_middle.png" -crop 82x30+0+0 +repage -resize 92x30! \) -geometry +90+$((H - 55)) -composite \
        \( "$OUT/lite_msg_box_btn_blue_middle.png" -crop 82x30+82+0 +repage \) -geometry +205+$((H - 55)) -composite \
        -gravity northwest -fill '#2B3240' -annotate +124+$((H - 55 + 7)) '确定' \
        -fill white -annotate +234+$((H - 55 + 7)) '取消' \
        -fill none -stroke 'rgba(0,0,0,0.43)' -draw "polyline 3,0 $((W - 4)),0 $((W - 1)),3 $((W - 1)),$((H - 4)) $((W - 4)),$((H - 1)) 3,$((H - 1)) 0,$((H - 4)) 0,3 3,0" \
     \) -geometry +$((20 + S))+$((20 + S)) -composite "$TMP/mb.png"

  im -background "$bg" \( "$TMP/wz1.png" "$TMP/wz2.png" "$TMP/wz3.png" -bordercolor "$bg" -border 6 +append \) \
     \( "$TMP/mb.png" "$TMP/sheet.png" -gravity north -bordercolor "$bg" -border 6 +append \) \
     -gravity northwest -append "$sheet"
}

make_banners
make_buttons
make_glyphs
make_progress
make_msgbox
make_shadow
make_icon
make_preview
echo "images written to $OUT"
