[%BODY_BGN%]O：環口X光片
一、待處理病徵
　齲齒（[%ccc%]）
　根尖病灶（[%aaa%]）
　殘根（[%rrr%]）
　阻生齒（[%iii%]）
二、既有狀態
　缺牙（[%mmm%]）、牙冠／牙橋（[%bbb%]）、植牙（[%jjj%]）
　根管治療（[%eee%]）、填補（[%fff%]）、牙柱（[%ttt%]）
三、牙周：[%ppp%]
P：依上列結果與病患討論治療計畫。[%BODY_END%]
[%PERI_SRS_BGN%]重度，建議轉診牙周專科[%PERI_SRS_END%]
[%PERI_MOD_BGN%]中度，建議牙周基本治療[%PERI_MOD_END%]
[%PERI_MILD_BGN%]輕度或正常，定期洗牙追蹤[%PERI_MILD_END%]
[%NONE_BGN%]無[%NONE_END%]
[%PREFIX_BGN%]牙位 [%PREFIX_END%]
[%POSTFIX_BGN%][%POSTFIX_END%]
