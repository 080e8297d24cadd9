<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html"/>
<xsl:template match="/"><html><body><p>a<br/>b</p><script>if (a &lt; b) x();</script><input checked="checked" value="{//book[1]/@id}"/></body></html></xsl:template>
</xsl:stylesheet>
