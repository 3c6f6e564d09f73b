<!DOCTYPE html>
<html lang="zh-Hant">
<head>
<meta charset="utf-8">
<title>認識蛀牙（齲齒）</title>
<style>
body { font-family: "Microsoft JhengHei", "Noto Sans CJK TC", sans-serif; margin: 2em; line-height: 1.7; color: #222; }
h1 { color: #1d5c8a; }
.tooth { display: flex; align-items: center; gap: 1.5em; padding: 1em; background: #eef5fa; border-radius: 8px; }
.tooth img { max-width: 320px; max-height: 320px; border: 1px solid #9bb; }
.number { font-size: 2.2em; font-weight: bold; color: #c0392b; }
</style>
</head>
<body>
<h1>認識蛀牙（齲齒）</h1>
<div class="tooth">
<img src="tooth_img01.jpg" alt="您的 [%TOOTH_INFO%] 號牙">
<div>醫師為您說明的牙齒：<br><span class="number">[%TOOTH_INFO%] 號牙</span></div>
</div>
<h2>蛀牙是怎麼發生的？</h2>
<p>吃東西後留在牙齒上的食物殘渣，會被口中的細菌分解成酸。酸慢慢溶掉牙齒表面的琺瑯質，就形成蛀洞。蛀洞不會自己長回來，越早處理，需要磨掉的牙齒越少。</p>
<h2>可能的感覺</h2>
<ul><li>吃甜食或冰冷食物時會痠痛</li><li>牙齒表面出現黑點或小洞</li><li>蛀得深時會自發性疼痛，甚至牙齦腫起來</li></ul>
<h2>治療方式</h2>
<p>小的蛀洞清除後以樹脂等材料填補；蛀到神經時需要根管治療，之後通常建議做牙套保護。</p>
<h2>日常預防</h2>
<ul><li>早晚刷牙，每次至少兩分鐘，使用含氟牙膏</li><li>每天用牙線清潔牙縫</li><li>少喝含糖飲料，減少吃零食的次數</li><li>每半年回診檢查一次</li></ul>
<p><small>本頁為衛教說明，實際狀況與治療方式請依您的牙醫師診斷為準。</small></p>
</body>
</html>
